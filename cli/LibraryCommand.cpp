#include <filesystem>
#include <iostream>
#include <set>
#include <system_error>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/HelpTexts.h"
#include "cli/InputFiles.h"
#include "formats/FormatText.h"
#include "library/LibrarySettings.h"
#include "library/ReferenceLibrary.h"

namespace {

// The folder given with --library (created for "add" when missing), or the
// one kept in the user's settings.
std::string LibraryFolder(const TArguments& arguments, bool createMissing) {
    if (!arguments.Has("library")) return ReadLibraryFolder();
    const std::string folder = arguments.Value("library");
    if (folder.empty()) throw EUsageError("the library folder name is empty");
    CheckLibraryFolderKind(folder);
    std::error_code error;
    if (std::filesystem::is_directory(folder, error)) return folder;
    if (!createMissing) throw EError("The library folder " + Quoted(folder) + " does not exist.");
    if (!std::filesystem::create_directories(folder, error) && error)
        throw EError("Cannot create the library folder " + Quoted(folder) + ": " + error.message());
    return folder;
}

// A library file named by its file name or, failing that, by its caption
// (the file name without its extension, as the library captions it). A path is
// never taken: it could name a file outside the library.
std::string ResolveFile(const TReferenceLibrary& library, const std::string& name) {
    if (name.find('/') != std::string::npos)
        throw EError("A library picture is named by its caption, not by a path: " + Quoted(name) + ".");
    const std::vector<std::string> files = library.Files();
    std::vector<std::string> matches;
    for (const std::string& file : files) {
        if (file == name) return name;
        if (TReferenceLibrary::CaptionOf(file) == name) matches.push_back(file);
    }
    if (matches.empty()) throw EError("The library holds no picture " + Quoted(name) + ".");
    if (matches.size() > 1)
        throw EError("The caption " + Quoted(name) + " names several files (" + Quoted(matches[0]) + ", " +
                     Quoted(matches[1]) + "); give the file name.");
    return matches[0];
}

int List(const TReferenceLibrary& library) {
    for (const std::string& file : library.Files()) std::cout << file << '\n';
    return 0;
}

std::string WouldReplace(const std::string& file, const std::string& name) {
    return "Adding " + Quoted(file) + " would replace the library file " + Quoted(name) + "; --force allows that.";
}

// Refuses, before anything is written, a picture that would replace a
// library file (already there, or added earlier in the same call) unless
// the caller asked for that with --force. The write itself checks again.
void CheckNoReplacement(const TReferenceLibrary& library, const std::vector<std::string>& files) {
    std::set<std::string> names;
    for (const std::string& file : files) {
        const std::string name = library.NameForAdd(file);
        if (library.Contains(name) || !names.insert(name).second) throw EError(WouldReplace(file, name));
    }
}

int Add(TReferenceLibrary& library, const std::vector<std::string>& files, bool force) {
    const TInputFiles inputs(files);
    for (const std::string& file : files) inputs.CheckOutput(library.PathOf(library.NameForAdd(file)));
    if (!force) CheckNoReplacement(library, files);
    for (const std::string& file : files) {
        try {
            library.Add(file, force);
        } catch (const ELibraryNameTaken&) {
            throw EError(WouldReplace(file, library.NameForAdd(file)));
        } catch (const std::exception& error) {
            const std::string message = error.what();
            if (message.find(file) != std::string::npos) throw;
            throw EError(Quoted(file) + ": " + message);
        }
        std::cout << library.NameForAdd(file) << '\n';
    }
    return 0;
}

}  // namespace

int RunLibrary(const std::vector<std::string>& words) {
    const TArguments arguments(words, {{"library", true}, {"force", false}});
    if (arguments.HelpAsked()) return PrintHelp(kLibraryHelp);
    arguments.ExpectAtLeast(1, "the library command (list, add, rename or delete)");
    const std::vector<std::string>& positionals = arguments.Positionals();
    const std::string& action = positionals[0];
    const std::vector<std::string> operands(positionals.begin() + 1, positionals.end());
    if (action != "add" && arguments.Switch("force")) throw EUsageError("option --force belongs to \"library add\"");

    if (action == "list") {
        if (!operands.empty()) throw EUsageError("unexpected argument " + Quoted(operands[0]));
        return List(TReferenceLibrary(LibraryFolder(arguments, false)));
    }
    if (action == "add") {
        if (operands.empty()) throw EUsageError("missing the pictures to add (FILE...)");
        TReferenceLibrary library(LibraryFolder(arguments, true));
        return Add(library, operands, arguments.Switch("force"));
    }
    if (action == "rename") {
        if (operands.size() != 2)
            throw EUsageError(operands.size() < 2 ? "missing the old and the new name (OLD NEW)"
                                                  : "unexpected argument " + Quoted(operands[2]));
        TReferenceLibrary library(LibraryFolder(arguments, false));
        std::cout << library.Rename(ResolveFile(library, operands[0]), operands[1]) << '\n';
        return 0;
    }
    if (action == "delete") {
        if (operands.size() != 1)
            throw EUsageError(operands.empty() ? "missing the picture to delete (NAME)"
                                               : "unexpected argument " + Quoted(operands[1]));
        TReferenceLibrary library(LibraryFolder(arguments, false));
        library.Remove(ResolveFile(library, operands[0]));
        return 0;
    }
    throw EUsageError("unknown library command " + Quoted(action) + " (list, add, rename or delete)");
}
