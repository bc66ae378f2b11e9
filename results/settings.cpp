#include "results/settings.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

constexpr double mib = 1 << 20;

// A finite decimal number, the whole of `text`; false for anything else.
bool read_number(const std::string &text, double &value)
{
    char *end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && errno == 0 && std::isfinite(value);
}

} // namespace

const std::vector<SettingRule> &setting_rules()
{
    static const std::vector<SettingRule> rules = {
        {"timeout", "limits", "wall_seconds", 0, 86400, false, true, 1},
        {"cpu", "limits", "cpu_seconds", 0, 86400, true, false, 1},
        {"memory", "limits", "memory_bytes", 0, 1 << 24, true, false, mib},
        {"file-size", "limits", "file_bytes", 0, 1 << 24, true, false, mib},
        {"processes", "limits", "processes", 0, 100000, true, false, 1},
        {"output", "limits", "output_bytes", 0, 4096, true, false, mib},
        {"build-cpu", "build", "cpu_seconds", 1, 3600, true, false, 1},
        {"seed", "cases", "seed", 0, 9007199254740991.0, true, false, 1},
        {"explore", "cases", "explore", 0, 10000000, true, false, 1},
        {"jobs", "", "jobs", 0, 1024, true, false, 1},
        {"give-up-after", "", "give_up_after", 0, 1000000, true, false, 1},
        {"points", "", "points", 0, 1000000, false, true, 1},
        {"memcheck-penalty", "", "memcheck_penalty", 0, 1000000, false, false, 1},
    };
    return rules;
}

const SettingRule *rule_of_option(const std::string &option)
{
    for (const SettingRule &rule : setting_rules())
        if (option == rule.option)
            return &rule;
    return nullptr;
}

const SettingRule *rule_of_key(const std::string &table, const std::string &key)
{
    for (const SettingRule &rule : setting_rules())
        if (table == rule.table && key == rule.key)
            return &rule;
    return nullptr;
}

bool set_number(GradingSettings &settings, const SettingRule &rule, double value, bool in_file,
                std::string &wanted)
{
    const double unit = in_file ? 1 : rule.file_unit; // the file's unit in the one given
    const double lowest = rule.lowest * rule.file_unit / unit;
    const double highest = rule.highest * rule.file_unit / unit;
    if (!std::isfinite(value) || value < lowest || value > highest
        || (rule.above && value == lowest) || (rule.whole && value != std::floor(value))) {
        std::ostringstream text;
        text.precision(17);
        if (rule.whole)
            text << "a whole number from " << lowest << " to " << highest;
        else if (rule.above)
            text << "a number above " << lowest << ", at most " << highest;
        else
            text << "a number from " << lowest << " to " << highest;
        wanted = text.str();
        // The words the time-out has always been refused with.
        if (std::string(rule.option) == "timeout")
            wanted = "a number of seconds above 0";
        return false;
    }
    const double base = value * unit; // seconds, bytes, processes, strings or points
    const std::string option = rule.option;
    Limits &limits = settings.limits;
    if (option == "timeout")
        limits.wall = std::chrono::milliseconds(std::max(1LL, std::llround(base * 1000)));
    else if (option == "cpu")
        limits.cpu_seconds = static_cast<int>(base);
    else if (option == "memory")
        limits.memory_bytes = static_cast<std::uint64_t>(base);
    else if (option == "file-size")
        limits.file_bytes = static_cast<std::uint64_t>(base);
    else if (option == "processes")
        limits.processes = static_cast<int>(base);
    else if (option == "output") // never unbounded: 0 keeps as much as may be kept
        limits.output_bytes
            = static_cast<std::size_t>(base == 0 ? rule.highest * rule.file_unit : base);
    else if (option == "build-cpu")
        settings.build_cpu = static_cast<int>(base);
    else if (option == "seed")
        settings.seed = static_cast<std::uint64_t>(base);
    else if (option == "explore")
        settings.explore = static_cast<int>(base);
    else if (option == "jobs")
        settings.jobs = static_cast<int>(base);
    else if (option == "give-up-after")
        settings.give_up_after = static_cast<int>(base);
    else if (option == "points")
        settings.points = base;
    else
        settings.memcheck_penalty = base;
    return true;
}

bool set_text(GradingSettings &settings, const std::string &option, const std::string &value,
              std::string &wanted)
{
    if (option == "compiler") {
        if (value.empty()) {
            wanted = "the name of a compiler, such as g++ or clang++";
            return false;
        }
        settings.compiler = value;
        return true;
    }
    // cases
    if (value.empty() || value == "file:") {
        wanted = "ten, extended, or a case file";
        return false;
    }
    settings.cases = value == "ten" || value == "extended" || value.rfind("file:", 0) == 0
                         ? value
                         : "file:" + value;
    return true;
}

bool set_option(GradingSettings &settings, const std::string &option, const std::string &text,
                std::string &wanted)
{
    if (const SettingRule *rule = rule_of_option(option)) {
        double value = 0;
        if (!read_number(text, value))
            value = std::nan("");
        return set_number(settings, *rule, value, false, wanted);
    }
    if (option == "compiler" || option == "cases")
        return set_text(settings, option, text, wanted);
    if (option == "shard") {
        const std::size_t slash = text.find('/');
        double k = 0, n = 0;
        if (slash == std::string::npos || !read_number(text.substr(0, slash), k)
            || !read_number(text.substr(slash + 1), n) || k != std::floor(k) || n != std::floor(n)
            || n < 1 || n > 100000 || k < 1 || k > n) {
            wanted = "K/N, the K-th of N parts, such as 2/3";
            return false;
        }
        settings.shard = static_cast<int>(k);
        settings.shards = static_cast<int>(n);
    } else if (option == "flags")
        settings.flags = split_flags(text);
    else if (option == "memcheck")
        settings.memcheck = true;
    else if (option == "no-sandbox")
        settings.sandbox = false;
    return true;
}

std::vector<std::string> split_flags(const std::string &text)
{
    std::vector<std::string> words;
    std::string word;
    for (char c : text + ' ') {
        if (c == ' ' || c == '\t' || c == '\n') {
            if (!word.empty())
                words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return words;
}

bool inside_hand_in(const std::string &file)
{
    if (file.empty() || file[0] == '/' || file.find('\0') != std::string::npos)
        return false;
    std::size_t start = 0;
    while (start <= file.size()) {
        const std::size_t slash = std::min(file.find('/', start), file.size());
        if (file.compare(start, slash - start, "..") == 0)
            return false;
        start = slash + 1;
    }
    return true;
}
