#include "gradebook/classfile.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

namespace {

// Reads one table's values, checking kinds and ranges; the first error stops it.
class Reader
{
public:
    Reader(const std::string &source, std::string &error)
        : source(source)
        , error(error)
    {}

    bool failed() const { return !error.empty(); }

    void fail(const toml::node &node, const std::string &message)
    {
        if (failed())
            return;
        error = source + ":" + std::to_string(node.source().begin.line) + ": " + message;
    }

    // Every key of `table` must be one of `known`.
    void only(const toml::table &table, const std::string &where,
              std::initializer_list<const char *> known)
    {
        const std::set<std::string> names(known.begin(), known.end());
        for (const auto &[key, value] : table) {
            if (!names.count(std::string(key.str()))) {
                std::string list;
                for (const char *name : known)
                    list += std::string(list.empty() ? "" : ", ") + name;
                fail(value, "unknown key \"" + std::string(key.str()) + "\"" + where
                                + " (known: " + list + ")");
            }
        }
    }

    void text(const toml::table &table, const char *key, std::string &out)
    {
        const toml::node *node = table.get(key);
        if (!node)
            return;
        if (const auto value = node->value<std::string>())
            out = *value;
        else
            fail(*node, std::string(key) + " must be a string");
    }

    void flag(const toml::table &table, const char *key, bool &out)
    {
        const toml::node *node = table.get(key);
        if (!node)
            return;
        if (const auto *value = node->as_boolean())
            out = value->get();
        else
            fail(*node, std::string(key) + " must be true or false");
    }

    // Every key of `table` that is a number setting of the grading, by the rule its option
    // follows: `name` is the table's ("limits"), "" for the top.
    void numbers(const toml::table &table, const char *name, GradingSettings &settings)
    {
        for (const SettingRule &rule : setting_rules()) {
            if (std::string(rule.table) != name)
                continue;
            const toml::node *node = table.get(rule.key);
            if (!node)
                continue;
            double value = 0;
            if (const auto *i = node->as_integer())
                value = static_cast<double>(i->get());
            else if (const auto *f = node->as_floating_point())
                value = f->get();
            else
                return fail(*node, std::string(rule.key) + " must be a number");
            std::string wanted;
            if (!set_number(settings, rule, value, true, wanted))
                return fail(*node, std::string(rule.key) + " must be " + wanted);
        }
    }

    // A number from `low` to `high` of what only the grade sheets use.
    double number(const toml::table &table, const char *key, double current, double low,
                  double high)
    {
        const toml::node *node = table.get(key);
        if (!node)
            return current;
        double value = 0;
        if (const auto *i = node->as_integer())
            value = static_cast<double>(i->get());
        else if (const auto *f = node->as_floating_point())
            value = f->get();
        else {
            fail(*node, std::string(key) + " must be a number");
            return current;
        }
        if (!(value >= low && value <= high) || !std::isfinite(value)) {
            std::ostringstream range;
            range << key << " must lie between " << low << " and " << high;
            fail(*node, range.str());
            return current;
        }
        return value;
    }

    // A setting of words, by the rule its option follows.
    void words(const toml::table &table, const char *key, const char *option,
               GradingSettings &settings)
    {
        const toml::node *node = table.get(key);
        if (!node)
            return;
        std::string value, wanted;
        text(table, key, value);
        if (!failed() && !set_text(settings, option, value, wanted))
            fail(*node, std::string(key) + " must be " + wanted);
    }

    // [build.sources]: a student's folder or id = the file, or the list of files, to build.
    void sources(const toml::node &node, std::vector<ChosenSources> &out)
    {
        const toml::table *table = node.as_table();
        if (!table)
            return fail(node, "sources must be a table: a student's folder or id = the file, or "
                              "the list of files, to build");
        out.clear();
        for (const auto &[key, value] : *table) {
            ChosenSources chosen;
            chosen.student = std::string(key.str());
            chosen.where = source + ":" + std::to_string(value.source().begin.line);
            std::vector<const toml::node *> names{&value};
            if (const toml::array *list = value.as_array()) {
                names.clear();
                for (const toml::node &item : *list)
                    names.push_back(&item);
            }
            for (const toml::node *name : names) {
                const auto file = name->value<std::string>();
                if (!file)
                    return fail(*name, "the sources of \"" + chosen.student
                                           + "\" must be a file name or a list of file names");
                if (!inside_hand_in(*file))
                    return fail(*name, "\"" + *file + "\" is not a file inside the hand-in of \""
                                           + chosen.student
                                           + "\": name it from the hand-in's folder, without "
                                             "\"..\"");
                chosen.files.push_back(*file);
            }
            if (chosen.files.empty())
                return fail(value, "no file named to build for \"" + chosen.student + "\"");
            out.push_back(std::move(chosen));
        }
    }

    const toml::table *table_of(const toml::table &root, const char *key)
    {
        const toml::node *node = root.get(key);
        if (!node)
            return nullptr;
        if (!node->is_table()) {
            fail(*node, std::string("[") + key + "] must be a table");
            return nullptr;
        }
        return node->as_table();
    }

private:
    std::string source;
    std::string &error;
};

} // namespace

bool parse_class_file(const std::string &text, const std::string &source, ClassFile &settings,
                      std::string &error)
{
    error.clear();
    toml::table root;
    try {
        root = toml::parse(text, source);
    } catch (const toml::parse_error &e) {
        error = source + ":" + std::to_string(e.source().begin.line) + ": "
                + std::string(e.description());
        return false;
    }
    ClassFile s = settings;
    Reader r(source, error);
    r.only(root, "",
           {"exercise", "points", "memcheck", "memcheck_penalty", "give_up_after", "jobs",
            "worksheet", "language", "build", "limits", "cases", "groups", "similarity"});
    if (const toml::node *node = root.get("exercise")) {
        std::string name;
        r.text(root, "exercise", name);
        if (!r.failed()) {
            s.exercise = exercise_named(name);
            if (!s.exercise)
                r.fail(*node, "exercise must be \"stack\", \"queue\" or \"stackqueue\", not \""
                                  + name + "\"");
        }
    }
    r.numbers(root, "", s);
    r.flag(root, "memcheck", s.memcheck);
    r.text(root, "worksheet", s.worksheet);
    if (const toml::node *node = root.get("language")) {
        r.text(root, "language", s.language);
        const auto &known = languages();
        if (!r.failed() && std::find(known.begin(), known.end(), s.language) == known.end())
            r.fail(*node, "language must be \"zh_CN\" or \"en\", not \"" + s.language + "\"");
    }

    if (const toml::table *similarity = r.table_of(root, "similarity")) {
        r.only(*similarity, " in [similarity]", {"template"});
        if (const toml::node *node = similarity->get("template")) {
            const toml::array *files = node->as_array();
            if (!files)
                r.fail(*node, "template must be a list of file names");
            for (std::size_t i = 0; files && i < files->size(); ++i) {
                if (const auto value = (*files)[i].value<std::string>())
                    s.similarity_template.push_back(*value);
                else
                    r.fail((*files)[i], "template must be a list of file names");
            }
        }
    }
    if (const toml::table *build = r.table_of(root, "build")) {
        r.only(*build, " in [build]", {"compiler", "flags", "cpu_seconds", "sources"});
        if (const toml::node *node = build->get("sources"))
            r.sources(*node, s.sources);
        r.words(*build, "compiler", "compiler", s);
        r.numbers(*build, "build", s);
        if (const toml::node *node = build->get("flags")) {
            const toml::array *flags = node->as_array();
            if (!flags)
                r.fail(*node, "flags must be a list of strings");
            else {
                s.flags.clear();
                for (const toml::node &flag : *flags) {
                    // As --flags gives them: words without blanks.
                    const auto value = flag.value<std::string>();
                    if (value && !value->empty()
                        && split_flags(*value) == std::vector<std::string>{*value})
                        s.flags.push_back(*value);
                    else
                        r.fail(flag, "flags must be a list of words without blanks");
                }
            }
        }
    }
    if (const toml::table *limits = r.table_of(root, "limits")) {
        r.only(*limits, " in [limits]",
               {"wall_seconds", "cpu_seconds", "memory_bytes", "file_bytes", "processes",
                "output_bytes"});
        r.numbers(*limits, "limits", s);
    }
    if (const toml::table *cases = r.table_of(root, "cases")) {
        r.only(*cases, " in [cases]", {"source", "seed", "explore"});
        // A case file is named as such here, so that a misspelt "extended" is refused at its
        // line rather than looked for as a file.
        if (const toml::node *node = cases->get("source")) {
            std::string source;
            r.text(*cases, "source", source);
            if (!r.failed() && source != "ten" && source != "extended"
                && source.rfind("file:", 0) != 0)
                r.fail(*node, "source must be \"ten\", \"extended\" or \"file:<path>\", not \""
                                  + source + "\"");
            r.words(*cases, "source", "cases", s);
        }
        r.numbers(*cases, "cases", s);
    }
    if (const toml::node *node = root.get("groups")) {
        const toml::array *groups = node->as_array();
        if (!groups)
            r.fail(*node, "groups must be written as [[groups]] tables");
        else {
            s.groups.clear();
            for (const toml::node &item : *groups) {
                const toml::table *table = item.as_table();
                if (!table) {
                    r.fail(item, "groups must be written as [[groups]] tables");
                    break;
                }
                r.only(*table, " in [[groups]]", {"name", "weight", "all_or_nothing", "cases"});
                CaseGroup group;
                r.text(*table, "name", group.name);
                group.weight = r.number(*table, "weight", 1, 1e-6, 1e6);
                r.flag(*table, "all_or_nothing", group.all_or_nothing);
                const toml::array *indices
                    = table->get("cases") ? table->get("cases")->as_array() : nullptr;
                // Cases are numbered from 1 here as on the handout, the pages and the report.
                if (!indices || indices->empty())
                    r.fail(item, "group \"" + group.name
                                     + "\" needs cases = [...], the numbers of its cases from 1");
                else
                    for (const toml::node &index : *indices) {
                        const auto *i = index.as_integer();
                        if (!i || i->get() < 1 || i->get() > 1000000)
                            r.fail(index, "cases of a group are numbers of cases, from 1");
                        else
                            group.cases.push_back(static_cast<int>(i->get()) - 1);
                    }
                s.groups.push_back(std::move(group));
            }
        }
    }
    if (r.failed())
        return false;
    if (s.memcheck_penalty > s.points) {
        error = source + ": memcheck_penalty (" + points_text(s.memcheck_penalty)
                + ") is more than points (" + points_text(s.points) + ")";
        return false;
    }
    settings = std::move(s);
    return true;
}

bool read_class_file(const std::string &path, ClassFile &settings, std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    // A class file is a page of settings; anything this large is something else.
    std::string text;
    text.resize(1 << 20);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (in.peek() != std::char_traits<char>::eof()) {
        error = path + ": larger than 1 MiB, not a class file";
        return false;
    }
    if (!parse_class_file(text, path, settings, error))
        return false;
    // Paths in the file are the file's: the class file and its case list travel together.
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    if (settings.cases.rfind("file:", 0) == 0 && settings.cases[5] != '/')
        settings.cases = "file:" + folder + settings.cases.substr(5);
    if (!settings.worksheet.empty() && settings.worksheet[0] != '/')
        settings.worksheet = folder + settings.worksheet;
    for (std::string &file : settings.similarity_template) {
        if (!file.empty() && file[0] != '/')
            file = folder + file;
    }
    return true;
}

std::string example_class_file()
{
    return R"(# orvimet.toml: how this class is graded. `orvimet-cli grade --config orvimet.toml SUBMISSIONS`
# grades with these settings; an option given on the command line wins over the file. Each
# setting takes what its option takes (--jobs, --seed, --cpu...), in the units written here.

# The exercise: "stack", "queue" or "stackqueue".
exercise = "queue"

# The maximum grade. A student earns correct cases / cases x points.
points = 100

# Build with the address and undefined-behaviour sanitizers and report memory findings;
# memcheck_penalty points are taken off a student with any finding.
memcheck = false
memcheck_penalty = 0

# After this many time-outs in all, a student's remaining cases are not run (they count wrong);
# 0: never.
give_up_after = 3

# Students graded at the same time; 0 means one per core.
jobs = 0

# The language of what students receive, the feedback pages and the worksheet's comments:
# "zh_CN" (Chinese) or "en" (English).
language = "zh_CN"

# A grading worksheet downloaded from the course website, to be filled with the grades.
# worksheet = "Grades-DS-queue.csv"

# The files handed out to every student (the similarity of the class leaves them out).
# [similarity]
# template = ["handout/stack.h", "handout/main.cpp"]

[build]
compiler = "g++"
flags = ["-std=c++17", "-O2", "-Wall", "-Wextra"]
cpu_seconds = 30            # processor time of one build

# When a student's hand-in holds several programs ("2 files define main: queue.cpp,
# queue_v2.cpp"), the file or files to build for that student, named from the hand-in's folder.
# A student is named by the folder handed in, or by the participant id of the course website's.
# [build.sources]
# "2021001" = "queue_v2.cpp"
# "Zhang San" = ["v2/queue_main.cpp", "v2/queue.cpp"]

[limits]
wall_seconds = 10           # one run of a student's program
cpu_seconds = 10
memory_bytes = 1073741824   # 1 GiB
file_bytes = 67108864       # 64 MiB per file it writes
processes = 64
output_bytes = 16777216     # 16 MiB of output

[cases]
# "ten" (the ten fixed option strings), "extended" or "file:<path>" (one option string a line,
# relative to this file). "extended" runs the ten, then the extended list, and without [[groups]]
# scores them as eleven equal groups: each of the ten strings, and the rest of the list as one.
source = "ten"
seed = 42
explore = 0                 # option strings tried per student in search of a failure

# Groups of cases, each with a weight; without groups every case counts the same. Cases are
# numbered from 1 in the order of the list, as the feedback pages and the report number them. An all-or-nothing group gives its share only when
# every case in it is correct. Cases outside every group count nothing.
# [[groups]]
# name = "push and pop"
# weight = 1
# cases = [1, 2, 3, 4, 5]
#
# [[groups]]
# name = "full and empty"
# weight = 2
# all_or_nothing = true
# cases = [6, 7, 8, 9, 10]
)";
}
