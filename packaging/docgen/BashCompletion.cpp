#include "packaging/docgen/BashCompletion.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace {

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
    std::string out;
    for (const std::string& part : parts) out += (out.empty() ? "" : separator) + part;
    return out;
}

std::string FunctionName(const std::string& text) {
    std::string name = "_";
    for (const char c : text) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

// A word for bash inside single quotes.
std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool HasOption(const std::vector<THelpOption>& options, const std::string& name) {
    return std::any_of(options.begin(), options.end(), [&](const THelpOption& option) {
        return std::find(option.Names.begin(), option.Names.end(), name) != option.Names.end();
    });
}

// The arguments of a usage line after the command: literal words and
// placeholders, with the options and their values left out.
std::vector<std::string> Arguments(const std::string& usage, const std::vector<THelpOption>& options) {
    std::vector<std::string> words;
    std::istringstream in(usage);
    for (std::string word; in >> word;) words.push_back(word);
    std::vector<std::string> arguments;
    int depth = 0;
    for (std::size_t i = 2; i < words.size(); ++i) {
        std::string word = words[i];
        const int opened = static_cast<int>(std::count(word.begin(), word.end(), '['));
        const int closed = static_cast<int>(std::count(word.begin(), word.end(), ']'));
        word.erase(std::remove_if(word.begin(), word.end(), [](char c) { return c == '[' || c == ']'; }), word.end());
        const bool optional = depth + opened > 0;
        depth += opened - closed;
        if (optional || word.empty() || word == "|") continue;
        if (word[0] == '-') {
            const std::string name = word.substr(0, word.find('='));
            const auto option = std::find_if(options.begin(), options.end(), [&](const THelpOption& o) {
                return std::find(o.Names.begin(), o.Names.end(), name) != o.Names.end();
            });
            if (option != options.end() && !option->Value.empty() && word.find('=') == std::string::npos) ++i;
            continue;
        }
        arguments.push_back(word);
    }
    return arguments;
}

}  // namespace

TBashCompletion::TBashCompletion(std::string program, std::vector<std::string> pictureExtensions,
                                 std::vector<std::string> lutExtensions)
    : program_(std::move(program)),
      pictureExtensions_(std::move(pictureExtensions)),
      lutExtensions_(std::move(lutExtensions)) {}

// What a placeholder takes: a kind the script's helpers complete.
std::string TBashCompletion::Kind(const std::string& command, const std::string& placeholder,
                                  const std::string& option) const {
    std::string name = placeholder;
    if (name.size() > 3 && name.compare(name.size() - 3, 3, "...") == 0) name.resize(name.size() - 3);
    const auto& options =
        std::find_if(commands_.begin(), commands_.end(), [&](const TCommand& c) { return c.Name == command; })->Options;
    // A command that writes LUT files chooses a profile; its other files
    // are LUT files as well, unless they are references.
    const bool writesLuts = HasOption(options, "--profile");
    if (option == "--config") return "ocio";
    if (option == "--profile") return "profile";
    if (option == "--footage") return "footage";
    if (option == "--look" || option == "--save-look" || name == "FILE.olook") return "look";
    if (name == "OUTPUT" || (name == "FILE" && (option == "--output" || option == "-o")))
        return writesLuts ? "lut" : "picture";
    if (name == "LUTFILE" || (name == "INPUT" && writesLuts)) return "lut";
    if (name == "REFERENCE" || name == "IMAGE" || name == "PICTURE" || name == "FRAME" || name == "GRADED_FRAME" ||
        name == "REF" || name == "INPUT" || name == "FILE")
        return "picture";
    if (name == "DIR" || name == "FOLDER") return "dir";
    if (name == "OLD" || name == "NAME") return "libname";
    return "none";
}

void TBashCompletion::AddCommand(const std::string& name, const THelpText& help) {
    TCommand command{name, HelpOptions(help), {}};
    commands_.push_back(command);
    TCommand& added = commands_.back();
    for (const std::string& usage : help.Usages) {
        std::vector<std::string> kinds;
        for (const std::string& argument : Arguments(usage, added.Options)) {
            const bool literal = std::none_of(argument.begin(), argument.end(),
                                              [](char c) { return std::isupper(static_cast<unsigned char>(c)); });
            const bool repeated = argument.size() > 3 && argument.compare(argument.size() - 3, 3, "...") == 0;
            kinds.push_back(literal ? "=" + argument : Kind(name, argument, {}) + (repeated ? "..." : ""));
        }
        added.Usages.push_back(Join(kinds, " "));
    }
}

std::string TBashCompletion::CommandFunction(const TCommand& command) const {
    std::ostringstream out;
    std::vector<std::string> names;
    std::vector<std::string> valued;
    for (const THelpOption& option : command.Options) {
        for (const std::string& name : option.Names) {
            names.push_back(name);
            if (!option.Value.empty()) valued.push_back(name);
        }
    }
    if (std::find(names.begin(), names.end(), "--help") == names.end()) names.push_back("--help");
    out << FunctionName(program_ + "_" + command.Name) << "()\n{\n";
    out << "    case $prev in\n";
    for (const THelpOption& option : command.Options) {
        if (option.Value.empty()) continue;
        out << "        " << Join(option.Names, "|") << ")\n            ";
        if (!option.Choices.empty())
            out << "_ombrane_choose " << Quoted(Join(option.Choices, "\n"));
        else
            out << "_ombrane_kind " << Kind(command.Name, option.Value, option.Names.back());
        out << "\n            return\n            ;;\n";
    }
    out << "    esac\n";
    out << "    if [[ $cur == -* ]]; then\n";
    out << "        _ombrane_choose " << Quoted(Join(names, "\n")) << "\n        return\n    fi\n";
    out << "    _ombrane_arguments " << Quoted(Join(valued, " "));
    for (const std::string& usage : command.Usages) out << ' ' << Quoted(usage);
    out << "\n}\n\n";
    return out.str();
}

std::string TBashCompletion::Script() const {
    std::ostringstream out;
    const std::string main = FunctionName(program_);
    std::vector<std::string> names;
    for (const TCommand& command : commands_) names.push_back(command.Name);
    out << "# bash completion for " << program_ << "                -*- shell-script -*-\n"
        << "# Written at build time from the program's help texts.\n\n";
    out << R"bash(# The word $1 as the shell would pass it, worked out without running
# anything: quotes and backslashes are taken away and a leading ~ is the
# home folder, while $ and ` stay as they are (nothing on the line is ever
# run by completing it).
_ombrane_dequote()
{
    local word=$1 out= quote= c i
    if [[ $word == "~" || $word == "~/"* ]]; then
        word=$HOME${word:1}
    fi
    for ((i = 0; i < ${#word}; i++)); do
        c=${word:i:1}
        if [[ $quote == "'" ]]; then
            if [[ $c == "'" ]]; then quote=; else out+=$c; fi
        elif [[ $quote == '"' ]]; then
            if [[ $c == '"' ]]; then
                quote=
            elif [[ $c == '\' && ${word:i+1:1} == [\"\\\$\`] ]]; then
                out+=${word:i+1:1}
                ((i++))
            else
                out+=$c
            fi
        elif [[ $c == "'" || $c == '"' ]]; then
            quote=$c
        elif [[ $c == '\' ]]; then
            out+=${word:i+1:1}
            ((i++))
        else
            out+=$c
        fi
    done
    printf '%s' "$out"
}

# Offers the lines of $1 that begin with the current word, quoted for the
# shell (profile names hold spaces).
_ombrane_choose()
{
    local typed word
    typed=$(_ombrane_dequote "$cur")
    COMPREPLY=()
    while IFS= read -r word; do
        [[ -n $word && $word == "$typed"* ]] && COMPREPLY+=("$(printf '%q' "$word")")
    done <<<"$1"
}

# The value of option $1 given earlier on the line, if any.
_ombrane_given()
{
    local i
    for ((i = 1; i < cword; i++)); do
        if [[ ${words[i]} == "$1" ]]; then
            _ombrane_dequote "${words[i + 1]}"
            return
        fi
    done
}

# Completes one kind of argument.
_ombrane_kind()
{
    local list config library
    case $1 in
        picture) _filedir ')bash"
        << ("@(" + Join(pictureExtensions_, "|") + ")'") << R"bash( ;;
        lut) _filedir ')bash"
        << ("@(" + Join(lutExtensions_, "|") + ")'") << R"bash( ;;
        ocio) _filedir ocio ;;
        look) _filedir olook ;;
        dir) _filedir -d ;;
        profile)
            list=$("$_ombrane_program" profiles 2>/dev/null | cut -f1,2 | tr '\t' '\n')
            _ombrane_choose "$list"
            ;;
        footage)
            config=$(_ombrane_given --config)
            list=$("$_ombrane_program" footage ${config:+--config "$config"} 2>/dev/null | cut -f1)
            _ombrane_choose "$list"
            ;;
        libname)
            library=$(_ombrane_given --library)
            list=$("$_ombrane_program" library ${library:+--library "$library"} list 2>/dev/null)
            _ombrane_choose "$list"
            ;;
        *) COMPREPLY=() ;;
    esac
}

# Completes an argument after the options: $1 the options that take a
# value, then the command's usages, each a list of kinds ("=word" for a
# word typed as it is, "..." for one that repeats).
_ombrane_arguments()
{
    local valued=" $1 " given=() i usage kinds choices=() kind
    shift
    for ((i = _ombrane_start + 1; i < cword; i++)); do
        if [[ ${words[i]} == -* ]]; then
            [[ $valued == *" ${words[i]} "* ]] && ((i++))
            continue
        fi
        given+=("${words[i]}")
    done
    local n=${#given[@]} wanted=
    for usage in "$@"; do
        read -r -a kinds <<<"$usage"
        kind=
        for ((i = 0; i <= n && i < ${#kinds[@]}; i++)); do
            if ((i == n)); then
                kind=${kinds[i]}
            elif [[ ${kinds[i]} == =* && ${kinds[i]#=} != "${given[i]}" ]]; then
                break
            elif [[ ${kinds[i]} == *... ]]; then
                kind=${kinds[i]}
                break
            fi
        done
        if [[ $kind == =* ]]; then
            choices+=("${kind#=}")
        elif [[ -n $kind && -z $wanted ]]; then
            wanted=${kind%...}
        fi
    done
    if ((${#choices[@]})); then
        _ombrane_choose "$(printf '%s\n' "${choices[@]}")"
    elif [[ -n $wanted ]]; then
        _ombrane_kind "$wanted"
    fi
}

)bash";
    for (const TCommand& command : commands_) out << CommandFunction(command);
    out << main << "()\n{\n"
        << "    local cur prev words cword\n"
        << "    _init_completion -s || return\n"
        << "    local _ombrane_program=$1 _ombrane_start i command=\n"
        << "    for ((i = 1; i < cword; i++)); do\n"
        << "        if [[ ${words[i]} != -* ]]; then\n"
        << "            command=${words[i]}\n"
        << "            _ombrane_start=$i\n"
        << "            break\n"
        << "        fi\n"
        << "    done\n"
        << "    case $command in\n";
    for (const TCommand& command : commands_)
        out << "        " << command.Name << ") " << FunctionName(program_ + "_" + command.Name) << " ;;\n";
    out << "        '')\n"
        << "            if [[ $cur == -* ]]; then\n"
        << "                _ombrane_choose $'--help'\n"
        << "            else\n"
        << "                _ombrane_choose " << Quoted(Join(names, "\n")) << "\n"
        << "            fi\n"
        << "            ;;\n"
        << "    esac\n"
        << "} &&\n"
        << "    complete -F " << main << ' ' << program_ << "\n\n"
        << "# ex: filetype=sh\n";
    return out.str();
}
