// ombrane-docs: writes the manual pages and the bash completion from the
// help texts the programs print, so that there is no second copy of them.
//   ombrane-docs man PROGRAM VERSION SEE-ALSO OUTPUT
//   ombrane-docs completion PROGRAM MIME-XML OUTPUT
//   ombrane-docs desktop TEMPLATE OUTPUT
// and the desktop entry from its template, its picture types taken from the
// picture-format table.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "imageio/PictureFormats.h"
#include "packaging/docgen/BashCompletion.h"
#include "packaging/docgen/HelpText.h"
#include "packaging/docgen/ManPage.h"

namespace {

std::string Quoted(const std::string& word) {
    std::string out = "'";
    for (const char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// What the program prints for these arguments; it must succeed.
std::string Output(const std::string& program, const std::vector<std::string>& arguments) {
    std::string command = Quoted(program);
    for (const std::string& argument : arguments) command += ' ' + Quoted(argument);
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run " + command);
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    if (pclose(pipe) != 0) throw std::runtime_error(command + " failed");
    return text;
}

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// The commands a program's help lists under "Commands:".
std::vector<std::string> Commands(const THelpText& help) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i + 1 < help.Blocks.size(); ++i)
        if (help.Blocks[i].Kind == THelpBlock::TKind::Heading && help.Blocks[i].Lines.front() == "Commands:")
            for (const THelpEntry& entry : help.Blocks[i + 1].Entries) names.push_back(entry.Term);
    return names;
}

void Write(const std::string& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
    out.close();
    if (!out) throw std::runtime_error("cannot write " + file);
}

std::string Read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int Man(const std::string& program, const std::string& version, const std::string& seeAlso, const std::string& output) {
    const std::string name = BaseName(program);
    TManPage page(name, version);
    const THelpText help = ParseHelpText(Output(program, {"--help"}));
    page.SetProgramHelp(help);
    for (const std::string& command : Commands(help))
        page.AddCommand(command, ParseHelpText(Output(program, {command, "--help"})));
    if (!seeAlso.empty()) page.AddSeeAlso(seeAlso);
    Write(output, page.Roff());
    return 0;
}

int Completion(const std::string& program, const std::string& mimeXml, const std::string& output) {
    const THelpText help = ParseHelpText(Output(program, {"--help"}));
    std::vector<THelpText> commands;
    std::vector<std::string> pictures;
    for (const std::string& command : Commands(help)) {
        commands.push_back(ParseHelpText(Output(program, {command, "--help"})));
        // The picture types: those a batch may write.
        for (const THelpOption& option : HelpOptions(commands.back()))
            if (option.Names.back() == "--format" && pictures.empty()) pictures = option.Choices;
    }
    // Readable, though never written.
    for (const char* more : {"hdr", "tga", "pnm", "ppm", "pgm"}) pictures.push_back(more);
    // The LUT types: those the profiles write and those the system knows.
    std::set<std::string> seen;
    std::vector<std::string> luts;
    std::istringstream profiles(Output(program, {"profiles"}));
    for (std::string line; std::getline(profiles, line);) {
        std::istringstream fields(line);
        std::string number, profile, extension;
        std::getline(fields, number, '\t');
        std::getline(fields, profile, '\t');
        std::getline(fields, extension, '\t');
        if (!extension.empty() && extension[0] == '.') extension.erase(0, 1);
        if (!extension.empty() && seen.insert(extension).second) luts.push_back(extension);
    }
    const std::string xml = Read(mimeXml);
    const std::regex glob("pattern=\"\\*\\.([a-z0-9]+)\"");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), glob); it != std::sregex_iterator(); ++it)
        if (seen.insert((*it)[1]).second) luts.push_back((*it)[1]);

    TBashCompletion completion(BaseName(program), pictures, luts);
    const std::vector<std::string> names = Commands(help);
    for (std::size_t i = 0; i < names.size(); ++i) completion.AddCommand(names[i], commands[i]);
    Write(output, completion.Script());
    return 0;
}

// The template with @PICTURE_MIME_TYPES@ replaced by the picture types.
int DesktopEntry(const std::string& templateFile, const std::string& output) {
    const std::string field = "@PICTURE_MIME_TYPES@";
    std::string text = Read(templateFile);
    const std::size_t at = text.find(field);
    if (at == std::string::npos) throw std::runtime_error(templateFile + " has no " + field);
    Write(output, text.replace(at, field.size(), DesktopMimeTypes()));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    try {
        if (arguments.size() == 5 && arguments[0] == "man")
            return Man(arguments[1], arguments[2], arguments[3], arguments[4]);
        if (arguments.size() == 4 && arguments[0] == "completion")
            return Completion(arguments[1], arguments[2], arguments[3]);
        if (arguments.size() == 3 && arguments[0] == "desktop") return DesktopEntry(arguments[1], arguments[2]);
        std::cerr << "usage: ombrane-docs man PROGRAM VERSION SEE-ALSO OUTPUT\n"
                     "       ombrane-docs completion PROGRAM MIME-XML OUTPUT\n"
                     "       ombrane-docs desktop TEMPLATE OUTPUT\n";
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "ombrane-docs: " << error.what() << '\n';
        return 1;
    }
}
