#include "cli/ProgressLine.h"

#include <unistd.h>
#include <algorithm>
#include <cstdio>

#include "cli/ErrorStream.h"

TProgressLine::TProgressLine()
    : shown_(isatty(ErrorStreamDescriptor()) == 1), start_(std::chrono::steady_clock::now()) {}

TProgressLine::~TProgressLine() {
    if (shown_ && written_) WriteToErrorStream("\n");
}

void TProgressLine::operator()(std::int64_t done, std::int64_t total) {
    if (!shown_) return;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0 ? done / seconds : 0;
    char line[160];
    if (total > 0 && rate > 0)
        std::snprintf(line, sizeof line, "\rframe %lld/%lld, %.1f fps, %.0f s left   ", static_cast<long long>(done),
                      static_cast<long long>(total), rate, std::max(0.0, (total - done) / rate));
    else
        std::snprintf(line, sizeof line, "\rframe %lld, %.1f fps   ", static_cast<long long>(done), rate);
    WriteToErrorStream(line);
    written_ = true;
}
