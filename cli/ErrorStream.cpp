#include "cli/ErrorStream.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

std::atomic<int> errorDescriptor{STDERR_FILENO};

}  // namespace

void SetErrorStreamDescriptor(int descriptor) { errorDescriptor = descriptor; }

int ErrorStreamDescriptor() { return errorDescriptor; }

void WriteToErrorStream(std::string_view text) {
    const int descriptor = errorDescriptor;
    while (!text.empty()) {
        const ssize_t written = write(descriptor, text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}
