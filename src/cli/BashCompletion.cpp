#include "BashCompletion.h"

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace {
/// "a,b,c" of a type name such as "TEXT:{a,b,c}" as "a b c"; "" when it names no fixed set.
std::string choicesOf(const CLI::Option& option) {
    const std::string type = option.get_type_name();
    const auto open = type.find('{');
    const auto close = type.find('}', open);
    if (open == std::string::npos || close == std::string::npos)
        return "";
    std::string words = type.substr(open + 1, close - open - 1);
    for (char& c : words)
        if (c == ',')
            c = ' ';
    return words;
}

bool takesText(const CLI::Option& option) { return option.get_type_name().rfind("TEXT", 0) == 0; }

struct Script {
    std::string commands;  // case arms: "path/word") path=... ;;
    std::string values;    // case arms for the word after an option that takes a value
    std::string words;     // case arms: the words offered at a command path
};

/// The completion of one command at path; inherited are the options of the commands above it
/// that reach it (they fall through: `carve IMAGE --quiet`).
void describe(const CLI::App& command, const std::string& path, const std::string& inherited, Script& script) {
    std::string words, passedOn = inherited;
    for (const CLI::Option* option : command.get_options()) {
        if (option->get_group().empty() || !option->nonpositional())
            continue;
        std::vector<std::string> names;
        for (const std::string& name : option->get_lnames())
            names.push_back("--" + name);
        for (const std::string& name : option->get_snames())
            names.push_back("-" + name);
        const bool ownOnly = option == command.get_help_ptr() || option == command.get_help_all_ptr() ||
                             option->check_lname("version");
        for (const std::string& name : names) {
            words += name + " ";
            if (!ownOnly)
                passedOn += name + " ";
            if (option->get_type_name().empty())
                continue;  // a flag: no value follows
            const std::string choices = choicesOf(*option);
            if (!choices.empty())
                script.values += "        \"" + path + ":" + name + "\") COMPREPLY=($(compgen -W \"" + choices +
                                 "\" -- \"$cur\")); return ;;\n";
            else if (takesText(*option))
                script.values += "        \"" + path + ":" + name + "\") COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n";
            else
                script.values += "        \"" + path + ":" + name + "\") return ;;\n";
        }
    }
    std::string commands;
    for (const CLI::App* sub : command.get_subcommands([](const CLI::App* a) { return !a->get_name().empty(); })) {
        const std::string subPath = path + "/" + sub->get_name();
        script.commands += "        \"" + subPath + "\") path=\"" + subPath + "\" ;;\n";
        commands += sub->get_name() + " ";
        describe(*sub, subPath, passedOn, script);
    }
    const bool hasCommands = !commands.empty();
    words = commands + words + inherited;
    if (!words.empty() && words.back() == ' ')
        words.pop_back();
    script.words += "        \"" + path + "\") words=\"" + words + "\"" + (hasCommands ? "; commands=1" : "") + " ;;\n";
}
}  // namespace

std::string bashCompletionScript(const CLI::App& app, const std::string& program) {
    Script script;
    describe(app, "", "", script);
    std::string function = "_";
    for (const char c : program)
        function += (c == '-' || c == '.') ? '_' : c;
    return "# bash completion for " + program + ", written by " + program + " --bash-completion\n" + function +
           "() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} path=\"\" words=\"\" commands=\"\" i\n"
           "    COMPREPLY=()\n"
           "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "        case \"$path/${COMP_WORDS[i]}\" in\n" +
           script.commands +
           "        esac\n"
           "    done\n"
           "    case \"$path:$prev\" in\n" +
           script.values +
           "    esac\n"
           "    case \"$path\" in\n" +
           script.words +
           "    esac\n"
           "    if [[ $cur == -* || -n $commands ]]; then\n"
           "        COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
           "    else\n"
           "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
           "    fi\n"
           "}\n"
           "complete -o filenames -F " +
           function + " " + program + "\n";
}
