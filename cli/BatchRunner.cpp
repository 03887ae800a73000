#include "cli/BatchRunner.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <thread>
#include <utility>

#include "cli/ErrorStream.h"
#include "engine/base/Error.h"
#include "fileio/AtomicFile.h"
#include "imageio/DeepImageFile.h"
#include "imageio/PictureFormats.h"
#include "imageio/PixelBudget.h"

namespace fs = std::filesystem;

namespace {

// A folder is searched for the picture types the program reads. A name
// that is only a dot and an 8-bit type's extension (".jpg") is a hidden
// file without a type, as std::filesystem sees it; the deep road's types are
// taken by the last dot alone.
bool IsPictureName(const fs::path& path) {
    return ::IsPictureName(path.extension().string(), TPictureRole::Read) || IsDeepPictureName(path.string());
}

bool IsFolder(const std::string& name) {
    std::error_code error;
    return fs::is_directory(name, error);
}

// A walk over the input folders: each folder is taken once (by device and
// inode), so that links back into the walk neither repeat pictures nor go
// on without end; a folder that cannot be read is noted and the walk goes on.
class TFolderWalk {
public:
    TFolderWalk(bool recursive, std::vector<std::string>& unreadFolders)
        : recursive_(recursive), unreadFolders_(unreadFolders) {}

    // A folder's picture files in name order; with recursive, those of its
    // sub-folders too. Hidden files (temporary files among them) are left out.
    void Collect(const fs::path& folder, std::vector<fs::path>& pictures) {
        if (!FirstVisit(folder)) return;
        std::vector<fs::path> found;
        std::error_code error;
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
            const fs::path& path = it->path();
            if (path.filename().string().front() == '.') continue;
            std::error_code kindError;
            if (it->is_directory(kindError)) {
                if (recursive_) Collect(path, found);
            } else if (IsPictureName(path)) {
                found.push_back(path);
            }
        }
        if (error) unreadFolders_.push_back("Cannot read the folder \"" + folder.string() + "\": " + error.message());
        std::sort(found.begin(), found.end());
        pictures.insert(pictures.end(), found.begin(), found.end());
    }

private:
    bool FirstVisit(const fs::path& folder) {
        struct stat st {};
        if (stat(folder.c_str(), &st) != 0 || visited_.emplace(st.st_dev, st.st_ino).second) return true;
        WriteToErrorStream("ombrane-cli: \"" + folder.string() + "\" leads to a folder taken already; left out\n");
        return false;
    }

    bool recursive_;
    std::vector<std::string>& unreadFolders_;
    std::set<std::pair<dev_t, ino_t>> visited_;
};

std::string Canonical(const fs::path& path) {
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(path, error);
    return error ? fs::absolute(path).lexically_normal().string() : canonical.string();
}

std::string FormatSeconds(double seconds) {
    const long total = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

// The progress line and the failure reports, kept apart by one lock.
class TBatchReporter {
public:
    TBatchReporter(std::size_t total, bool showProgress)
        : total_(total), showProgress_(showProgress), start_(std::chrono::steady_clock::now()) {
        Draw();
    }

    void Done() {
        const std::lock_guard lock(mutex_);
        ++done_;
        Draw();
    }

    void Failed(const std::string& message) {
        const std::lock_guard lock(mutex_);
        ++done_;
        ++failed_;
        ClearLine();
        WriteToErrorStream("ombrane-cli: " + message + "\n");
        Draw();
    }

    // A folder among the inputs that could not be read: reported, not counted
    // among the pictures.
    void FolderFailed(const std::string& message) {
        const std::lock_guard lock(mutex_);
        ++failedFolders_;
        ClearLine();
        WriteToErrorStream("ombrane-cli: " + message + "\n");
        Draw();
    }

    bool AllWritten() const { return failed_ == 0 && failedFolders_ == 0; }

    void Finish() {
        const std::lock_guard lock(mutex_);
        ClearLine();
        if (failed_ != 0)
            WriteToErrorStream("ombrane-cli: " + std::to_string(failed_) + " of " + std::to_string(total_) +
                               " pictures failed\n");
        if (failedFolders_ != 0)
            WriteToErrorStream("ombrane-cli: " + std::to_string(failedFolders_) +
                               (failedFolders_ == 1 ? " folder" : " folders") + " could not be read\n");
        if (failed_ == 0 && failedFolders_ == 0 && showProgress_)
            WriteToErrorStream(std::to_string(total_) + " pictures written in " + FormatSeconds(Elapsed()) + "\n");
    }

private:
    double Elapsed() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }

    void ClearLine() {
        if (showProgress_) WriteToErrorStream("\r\033[K");
    }

    void Draw() {
        if (!showProgress_) return;
        constexpr std::size_t kBarWidth = 24;
        const std::size_t filled = total_ == 0 ? kBarWidth : done_ * kBarWidth / total_;
        std::string line = "\r[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] " +
                           std::to_string(done_) + "/" + std::to_string(total_);
        const double elapsed = Elapsed();
        if (done_ != 0 && elapsed > 0) {
            const double rate = done_ / elapsed;
            char text[64];
            std::snprintf(text, sizeof text, "  %.1f pictures/s  %s left", rate,
                          FormatSeconds((total_ - done_) / rate).c_str());
            line += text;
        }
        WriteToErrorStream(line + "\033[K");
    }

    std::mutex mutex_;
    std::size_t total_;
    std::size_t done_ = 0;
    std::size_t failed_ = 0;
    std::size_t failedFolders_ = 0;
    bool showProgress_;
    std::chrono::steady_clock::time_point start_;
};

// Whether a message names the file: the name stands on its own, not as a
// part of a longer path (an output's path may hold the input's name).
bool NamesFile(const std::string& message, const std::string& file) {
    const auto bounds = [](char c) { return c == '"' || c == '\'' || c == ' ' || c == ':' || c == ','; };
    for (auto at = message.find(file); at != std::string::npos; at = message.find(file, at + 1)) {
        const std::size_t end = at + file.size();
        if ((at == 0 || bounds(message[at - 1])) && (end == message.size() || bounds(message[end]))) return true;
    }
    return false;
}

std::string ExistsMessage(const TBatchItem& item) {
    return "the output \"" + item.Output + "\" exists (--force replaces it)";
}

void RunOne(const TBatchItem& item, const TBatchSettings& settings, const std::function<void(const TBatchItem&)>& work,
            TBatchReporter& reporter) {
    try {
        std::error_code error;
        if (!settings.Force && fs::exists(fs::symlink_status(item.Output, error))) throw EError(ExistsMessage(item));
        // Another program may write the name between that check and the end
        // of the write: without --force its file stays.
        std::optional<TNoReplacingWrites> noReplacing;
        if (!settings.Force) noReplacing.emplace();
        const TPixelJob job;  // the picture's memory stays reserved until it is written
        try {
            work(item);
        } catch (const EFileExists&) {
            throw EError(ExistsMessage(item));
        }
        reporter.Done();
    } catch (const std::bad_alloc&) {
        reporter.Failed(item.Input + ": out of memory");
    } catch (const std::exception& failure) {
        // Loader messages often name the file already.
        const std::string reason = failure.what();
        reporter.Failed(NamesFile(reason, item.Input) ? reason : item.Input + ": " + reason);
    }
}

// Refuses an output folder that cannot be one before anything is done.
void CheckOutputFolder(const std::string& folder) {
    std::error_code error;
    const fs::file_status link = fs::symlink_status(folder, error);
    if (fs::is_symlink(link) && !fs::exists(fs::status(folder, error)))
        throw EError("Cannot create the folder \"" + folder + "\": it is a link to \"" +
                     fs::read_symlink(folder, error).string() + "\", which does not exist");
    if (fs::exists(folder, error) && !IsFolder(folder))
        throw EUsageError("the output \"" + folder + "\" is not a folder");
    if (!fs::exists(link) && IsPictureName(folder))
        throw EUsageError("the output \"" + folder +
                          "\" is a picture file name; many pictures need a folder (-o FOLDER)");
}

}  // namespace

std::vector<TOptionSpec> BatchOptionSpecs() {
    return {{"jobs", true, 'j'}, {"quiet", false, 'q'}, {"force", false}, {"recursive", false, 'r'}, {"format", true}};
}

bool WantsBatch(const TArguments& arguments, std::size_t singlePictures) {
    const auto& positionals = arguments.Positionals();
    if (positionals.size() > singlePictures + 1) return true;
    if (arguments.Has("output") && IsFolder(arguments.Value("output"))) return true;
    return std::any_of(positionals.begin() + std::min<std::size_t>(1, positionals.size()), positionals.end(), IsFolder);
}

TBatchSettings BatchSettingsFrom(const TArguments& arguments) {
    TBatchSettings settings;
    if (!arguments.Has("output")) throw EUsageError("missing the output folder (-o FOLDER)");
    settings.Folder = arguments.Value("output");
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    settings.Jobs = arguments.IntValue("jobs", 1, 256, cores);
    settings.Quiet = arguments.Switch("quiet");
    settings.Force = arguments.Switch("force");
    settings.Recursive = arguments.Switch("recursive");
    if (arguments.Has("format")) {
        settings.Format = arguments.Value("format");
        settings.Format = LowerAscii(settings.Format);
        const std::vector<std::string> known = PictureExtensions(TPictureRole::Written);
        if (std::find(known.begin(), known.end(), settings.Format) == known.end())
            throw EUsageError("unknown picture format \"" + arguments.Value("format") + "\": use " +
                              ListOfExtensions(known, ""));
    }
    return settings;
}

TBatchPlan PlanBatch(const std::vector<std::string>& inputs, const TBatchSettings& settings, TInputFiles otherInputs) {
    CheckOutputFolder(settings.Folder);
    TBatchPlan plan;
    std::vector<fs::path> pictures;
    for (const std::string& input : inputs) {
        if (IsFolder(input))
            TFolderWalk(settings.Recursive, plan.UnreadFolders).Collect(input, pictures);
        else
            pictures.emplace_back(input);
    }
    if (pictures.empty() && !plan.UnreadFolders.empty()) throw EError(plan.UnreadFolders.front());
    if (pictures.empty()) throw EUsageError("no picture among the inputs");

    TInputFiles& allInputs = otherInputs;
    for (const fs::path& picture : pictures) allInputs.Add(picture.string());
    std::map<std::string, std::string> outputs;
    for (const fs::path& picture : pictures) {
        fs::path name = picture.filename();
        if (!settings.Format.empty()) name.replace_extension("." + settings.Format);
        TBatchItem item{picture.string(), (fs::path(settings.Folder) / name).string()};
        allInputs.CheckOutput(item.Output);
        if (const auto [other, added] = outputs.emplace(Canonical(item.Output), item.Input); !added)
            throw EUsageError("\"" + other->second + "\" and \"" + item.Input + "\" would both be written to \"" +
                              item.Output + "\"");
        plan.Items.push_back(std::move(item));
    }
    return plan;
}

int RunBatch(const TBatchPlan& plan, const TBatchSettings& settings,
             const std::function<void(const TBatchItem&)>& work) {
    const std::vector<TBatchItem>& items = plan.Items;
    std::error_code error;
    fs::create_directories(settings.Folder, error);
    if (error) throw EError("Cannot create the folder \"" + settings.Folder + "\": " + error.message());

    const bool terminal = isatty(ErrorStreamDescriptor()) != 0;
    TBatchReporter reporter(items.size(), terminal && !settings.Quiet);
    for (const std::string& message : plan.UnreadFolders) reporter.FolderFailed(message);
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t i = next++; i < items.size(); i = next++) RunOne(items[i], settings, work, reporter);
    };
    const std::size_t threads = std::min<std::size_t>(static_cast<std::size_t>(settings.Jobs), items.size());
    std::vector<std::thread> pool;
    for (std::size_t i = 1; i < threads; ++i) pool.emplace_back(worker);
    worker();
    for (std::thread& thread : pool) thread.join();
    reporter.Finish();
    return reporter.AllWritten() ? 0 : 1;
}
