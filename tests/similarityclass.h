#pragma once

// A generated class for the similarity tests and benchmark: the handed-out stack skeleton and
// solutions written independently of it, each from its own choices (storage: array, vector or
// linked list; how each function is written, statement by statement; names, order, layout,
// comments), and planted copies of them: renamed, reordered, re-laid-out, padded with dead code,
// loops rewritten, one function taken from another student. Plain C++, no Qt.

#include "similarity/similarity.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

struct StackPlan
{
    unsigned choices = 1; // how the code is written: two solutions with one value are one
    unsigned names = 1;   // identifiers
    unsigned order = 1;   // order of the functions
    unsigned style = 1;   // layout and comments
    bool dead_code = false;
    bool loops_flipped = false; // every for loop a while loop and back
    // This function is written as the student of `donor_choices` wrote it.
    std::string donor_function;
    unsigned donor_choices = 0;
    int extra_functions = 0; // more functions of the same kind, for a larger solution
};

namespace similarityclass {

class Writer
{
public:
    Writer(unsigned seed, const StackPlan &plan, std::mt19937 &names)
        : rng(seed)
        , flip(plan.loops_flipped)
        , dead(plan.dead_code)
        , dead_rng(seed * 7 + 3)
        , n(names)
    {}

    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(rng); }
    template<class... T>
    std::string one(T... options)
    {
        const std::string all[] = {options...};
        return all[pick(int(sizeof...(T)))];
    }
    std::string inc(const std::string &x) { return one(x + "++;", "++" + x + ";", x + " += 1;"); }
    std::string dec(const std::string &x) { return one(x + "--;", "--" + x + ";", x + " -= 1;"); }
    std::string guard(const std::string &cond, const std::string &value)
    {
        const int form = habits & 2 ? 1 + pick(2) : pick(3);
        if (form == 0)
            return "if (" + cond + ") return " + value + ";";
        if (form == 1)
            return "if (" + cond + ") {\nreturn " + value + ";\n}";
        return "if (" + cond + ") {\nstd::cerr << \"" + one("cannot", "error", "no")
               + "\\n\";\nreturn " + value + ";\n}";
    }
    // for (int i = from; i < to; ++i) body, or the same as a while loop.
    std::string loop(const std::string &i, const std::string &from, const std::string &cond,
                     const std::string &step, const std::string &body)
    {
        const bool as_for = (pick(4) != 0) != flip;
        const std::string type = habits & 4 ? "long " : habits & 8 ? "unsigned " : "int ";
        if (as_for)
            return "for (" + type + i + " = " + from + "; " + cond + "; " + step + ") {\n" + body
                   + "\n}";
        return type + i + " = " + from + ";\nwhile (" + cond + ") {\n" + body + "\n" + step
               + ";\n}";
    }
    std::string maybe_dead()
    {
        if (!dead || dead_rng() % 2)
            return "";
        switch (dead_rng() % 3) {
        case 0:
            return "int unused" + std::to_string(dead_rng() % 100) + " = 0;\n";
        case 1:
            return "if (false) {\nstd::cout << \"never\";\n}\n";
        default:
            return "for (int k = 0; k < 0; ++k) {\n}\n";
        }
    }

    std::mt19937 rng;
    unsigned habits = 0;
    bool flip, dead;
    std::mt19937 dead_rng;
    std::mt19937 &n;
};

struct Names
{
    std::string data, count, cap, head, node, next, value, i, other, out, cur;
};

inline Names make_names(std::mt19937 &r)
{
    auto from = [&r](std::vector<std::string> pool) {
        return pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(r)];
    };
    return {from({"data_", "items", "m_data", "arr", "elems", "buffer", "values_", "storage"}),
            from({"count_", "n", "m_size", "top_index", "used", "length", "num"}),
            from({"capacity_", "cap", "m_capacity", "limit", "maxSize", "bound"}),
            from({"head_", "first", "m_top", "topNode", "root"}),
            from({"Node", "Cell", "Link", "Item", "Element"}),
            from({"next", "below", "link", "nxt", "down"}),
            from({"value", "v", "x", "item", "elem", "val"}),
            from({"i", "j", "idx", "k2", "pos"}),
            from({"other", "rhs", "source", "src", "that"}),
            from({"out", "os", "stream", "o"}),
            from({"cur", "p", "walk", "it", "node"})};
}

enum Storage { Array, Vector, List };

// One function's definition, written with the choices of `w`.
inline std::string function(const std::string &name, Storage s, Writer &w, const Names &m)
{
    // Habits a student keeps in every function: members through this->, braces always.
    const std::string self = w.habits & 1 ? "this->" : "";
    const std::string D = self + m.data, C = self + m.count, K = self + m.cap, H = self + m.head,
                      V = m.value, I = m.i;
    auto body = [&](std::string lines) { return "{\n" + w.maybe_dead() + lines + "\n}"; };
    const std::string size_expr = s == Vector
                                      ? w.one("static_cast<int>(" + D + ".size())",
                                              "(int)" + D + ".size()", "int(" + D + ".size())")
                                      : C;
    const std::string full_cond
        = w.one(size_expr + " >= " + K, size_expr + " == " + K, "full()", "size() >= capacity()");
    const std::string empty_cond = w.one(size_expr + " == 0", "empty()", "size() == 0",
                                         s == List ? H + " == nullptr" : "!" + size_expr);
    if (name == "ctor") {
        if (s == Array)
            return w.one(
                "Stack::Stack(int capacity)\n: " + D + "(new int[capacity]), " + C + "(0), " + K
                    + "(capacity)\n{}",
                "Stack::Stack(int capacity)\n"
                    + body(D + " = new int[capacity];\n" + C + " = 0;\n" + K + " = capacity;"));
        if (s == Vector)
            return w.one("Stack::Stack(int capacity)\n: " + K + "(capacity)\n{}",
                         "Stack::Stack(int capacity)\n"
                             + body(K + " = capacity;\n" + D + ".reserve(capacity);"));
        return "Stack::Stack(int capacity)\n"
               + w.one(": " + H + "(nullptr), " + C + "(0), " + K + "(capacity)\n{}",
                       body(H + " = nullptr;\n" + C + " = 0;\n" + K + " = capacity;"));
    }
    if (name == "dtor") {
        if (s == Array)
            return "Stack::~Stack()\n" + body("delete[] " + D + ";");
        if (s == Vector)
            return w.one("Stack::~Stack() {}", "Stack::~Stack() = default;");
        return "Stack::~Stack()\n"
               + body(w.one("while (!empty()) pop();",
                            "while (" + H + ") {\n" + m.node + " *" + m.cur + " = " + H + ";\n" + H
                                + " = " + H + "->" + m.next + ";\ndelete " + m.cur + ";\n}"));
    }
    if (name == "push") {
        std::string store;
        if (s == Array)
            store = w.one(D + "[" + C + "] = " + V + ";\n" + w.inc(C),
                          D + "[" + C + "++] = " + V + ";");
        else if (s == Vector)
            store = w.one(D + ".push_back(" + V + ");", D + ".emplace_back(" + V + ");",
                          D + ".insert(" + D + ".end(), " + V + ");");
        else
            store = w.one(m.node + " *" + m.cur + " = new " + m.node + ";\n" + m.cur + "->"
                              + m.value + " = " + V + ";\n" + m.cur + "->" + m.next + " = " + H
                              + ";\n" + H + " = " + m.cur + ";\n" + w.inc(C),
                          H + " = new " + m.node + "{" + V + ", " + H + "};\n" + w.inc(C));
        return "bool Stack::push(int " + V + ")\n"
               + body(w.guard(full_cond, "false") + "\n" + store + "\nreturn true;");
    }
    if (name == "pop") {
        std::string remove;
        if (s == Array)
            remove = w.dec(C);
        else if (s == Vector)
            remove = w.one(D + ".pop_back();", D + ".erase(" + D + ".end() - 1);",
                           D + ".resize(" + D + ".size() - 1);");
        else
            remove = m.node + " *" + m.cur + " = " + H + ";\n" + H + " = " + H + "->" + m.next
                     + ";\ndelete " + m.cur + ";\n" + w.dec(C);
        return "bool Stack::pop()\n"
               + body(w.guard(empty_cond, "false") + "\n" + remove + "\nreturn true;");
    }
    if (name == "top") {
        const std::string check
            = w.one("", "if (" + empty_cond + ")\nthrow std::out_of_range(\"empty stack\");\n",
                    "assert(!empty());\n");
        const std::string value = s == Array    ? D + "[" + C + " - 1]"
                                  : s == Vector ? w.one(D + ".back()", D + "[" + D + ".size() - 1]")
                                                : H + "->" + m.value;
        return "int Stack::top() const\n" + body(check + "return " + value + ";");
    }
    if (name == "empty")
        return "bool Stack::empty() const\n"
               + body("return "
                      + (s == Vector ? w.one(D + ".empty()", size_expr + " == 0")
                                     : w.one(C + " == 0", "!" + C, "size() == 0"))
                      + ";");
    if (name == "full")
        return "bool Stack::full() const\n"
               + body(
                   "return "
                   + w.one(size_expr + " >= " + K, size_expr + " == " + K, "size() == capacity()")
                   + ";");
    if (name == "size")
        return "int Stack::size() const\n" + body("return " + size_expr + ";");
    if (name == "capacity")
        return "int Stack::capacity() const\n" + body("return " + K + ";");
    std::string each; // a loop over the elements, bottom first, with `E` for the element
    // A loop over the elements, bottom first for arrays, top first for lists; `use(E)` either
    // calls a lambda or is written into the loop.
    auto over = [&](const std::string &use, const std::string &inline_use) {
        const bool lambda = !use.empty() && w.pick(2) == 0;
        auto apply = [&](const std::string &e) {
            if (lambda)
                return use + "(" + e + ");";
            std::string text = inline_use;
            for (std::size_t at; (at = text.find("@")) != std::string::npos;)
                text.replace(at, 1, e);
            return text;
        };
        if (s == List) {
            const std::string N = m.node, P = m.cur;
            switch (w.pick(3)) {
            case 0:
                return "for (" + N + " *" + P + " = " + H + "; " + P
                       + w.one(" != nullptr", "", " != 0") + "; " + P + " = " + P + "->" + m.next
                       + ") {\n" + apply(P + "->" + m.value) + "\n}";
            case 1:
                return w.one("const ", "") + N + " *" + P + " = " + H + ";\nwhile (" + P + ") {\n"
                       + apply(P + "->" + m.value) + "\n" + P + " = " + P + "->" + m.next + ";\n}";
            default:
                return "int left = " + C + ";\nfor (" + N + " *" + P + " = " + H
                       + "; left > 0; --left) {\n" + apply(P + "->" + m.value) + "\n" + P + " = "
                       + P + "->" + m.next + ";\n}";
            }
        }
        if (s == Vector && w.pick(3) == 0)
            return "for (" + w.one("int", "auto", "const int &") + " e : " + D + ") {\n"
                   + apply("e") + "\n}";
        if (w.pick(4) == 0)
            return w.loop(I, size_expr + " - 1", I + " >= 0",
                          w.one("--" + I, I + "--", I + " -= 1"), apply(D + "[" + I + "]"));
        return w.loop(I, "0", I + " < " + size_expr, w.one("++" + I, I + "++", I + " += 1"),
                      apply(D + "[" + I + "]"));
    };
    if (name == "print") {
        const std::string O = m.out;
        const std::string sep = w.one("' '", "\" \"", "\", \"");
        const std::string end = w.one("'\\n'", "std::endl", "\"\\n\"");
        const bool first = w.pick(2) == 0;
        const std::string put
            = first ? "if (!first) " + O + " << " + sep + ";\n" + O + " << @;\nfirst = false;"
                    : O + " << @ << " + sep + ";";
        const std::string pre = (first ? "bool first = true;\n" : "")
                                + std::string(w.one(
                                    "", "auto put = [&](int e) {\n" + [&] {
                                        std::string t = put;
                                        t.replace(t.find("@"), 1, "e");
                                        return t;
                                    }() + "\n};\n"));
        const std::string loop = pre.find("put") != std::string::npos ? over("put", put) : [&] {
            std::string t = over("", put);
            return t;
        }();
        return "void Stack::print(std::ostream &" + O + ") const\n"
               + body(pre + loop + "\n" + O + " << " + end + ";");
    }
    if (name == "assign") {
        const std::string T = m.other;
        const std::string check = w.guard(T + ".size() > " + w.one(K, "capacity()"), "false");
        std::string copy;
        if (s == Vector && w.pick(2) == 0)
            copy = D + " = " + T + "." + D + ";";
        else if (s == List && w.pick(2) == 0)
            copy = "while (" + w.one("!empty()", H) + ")\npop();\n" + m.node + " **tail" + " = &"
                   + H + ";\nfor (const " + m.node + " *" + m.cur + " = " + T + "." + H + "; "
                   + m.cur + "; " + m.cur + " = " + m.cur + "->" + m.next + ") {\n*tail = new "
                   + m.node + "{" + m.cur + "->" + m.value + ", nullptr};\ntail = &(*tail)->"
                   + m.next + ";\n" + w.inc(C) + "\n}";
        else if (s == List)
            copy = "std::vector<int> kept;\nfor (" + m.node + " *" + m.cur + " = " + T + "." + H
                   + "; " + m.cur + "; " + m.cur + " = " + m.cur + "->" + m.next
                   + ")\nkept.push_back(" + m.cur + "->" + m.value
                   + ");\nwhile (!empty())\npop();\n"
                   + w.loop(I, "int(kept.size()) - 1", I + " >= 0", w.one("--" + I, I + "--"),
                            "push(kept[" + I + "]);");
        else
            copy = (s == Vector ? D + ".clear();\n" : C + " = 0;\n")
                   + w.loop(I, "0", I + " < " + T + ".size()", w.one("++" + I, I + "++"),
                            s == Vector
                                ? D + ".push_back(" + T + "." + D + "[" + I + "]);"
                                : D + "[" + I + "] = " + T + "." + D + "[" + I + "];\n" + w.inc(C));
        return "bool Stack::assign(const Stack &" + T + ")\n"
               + body(w.one("if (this == &" + T + ")\nreturn true;\n", "") + check + "\n" + copy
                      + "\nreturn true;");
    }
    if (name.rfind("reverse", 0) == 0) {
        const std::string check
            = w.one("", "if (" + w.one("size() < 2", C + " <= 1", "empty()") + ")\nreturn"
                            + (w.pick(2) ? " 0" : " " + C) + ";\n")
              + w.one("", "assert(" + C + " <= " + K + ");\n",
                      "if (" + C + " > " + K
                          + ") {\nstd::cerr << \"broken stack\\n\";\nreturn -1;\n}\n");
        const std::string log
            = w.one("", "std::clog << \"reversing \" << " + w.one("size()", C) + " << '\\n';\n");
        std::string swap;
        if (s == List)
            swap = m.node + " *" + w.one("prev", "before", "done") + " = nullptr;\nwhile (" + H
                   + w.one("", " != nullptr") + ") {\n" + m.node + " *later = " + H + "->" + m.next
                   + ";\n" + H + "->" + m.next + " = prev;\nprev = " + H + ";\n" + H + " = later;\n"
                   + w.one("", w.inc("moves") + "\n") + "}\n" + H + " = prev;";
        else
            swap = w.loop(I, "0", I + " < " + size_expr + " / 2", w.one("++" + I, I + "++"),
                          w.one("std::swap(" + D + "[" + I + "], " + D + "[" + size_expr + " - 1 - "
                                    + I + "]);",
                                "int t = " + D + "[" + I + "];\n" + D + "[" + I + "] = " + D + "["
                                    + size_expr + " - 1 - " + I + "];\n" + D + "[" + size_expr
                                    + " - 1 - " + I + "] = t;")
                              + w.one("", "\n" + w.inc("moves")));
        return "int Stack::" + name + "()\n"
               + body(check + log + "int moves = 0;\n" + swap + "\nreturn moves"
                      + w.one("", " + 0", " * 1") + ";");
    }
    // The extras: sum, largest, count of a value, written over the elements as any of the above.
    const std::string acc = w.one("total", "result", "acc", "r");
    const int kind = name.rfind("sum", 0) == 0 ? 0 : name.rfind("largest", 0) == 0 ? 1 : 2;
    const std::string init = kind == 1 ? "std::numeric_limits<int>::min()" : "0";
    const std::string step
        = kind == 0 ? w.one(acc + " += @;", acc + " = " + acc + " + @;")
          : kind == 1
              ? w.one("if (@ > " + acc + ") " + acc + " = @;", acc + " = std::max(" + acc + ", @);")
              : w.one("if (@ == " + V + ") ++" + acc + ";", acc + " += @ == " + V + " ? 1 : 0;",
                      "if (@ == " + V + ") {\n" + w.inc(acc) + "\n}");
    std::string lambda = "auto add = [&](int e) { " + step + " };\n";
    lambda.replace(lambda.find("@"), 1, "e");
    while (lambda.find("@") != std::string::npos)
        lambda.replace(lambda.find("@"), 1, "e");
    std::string loop = over("add", step);
    if (loop.find("add(") == std::string::npos)
        lambda.clear();
    return "int Stack::" + name + "(" + (kind == 2 ? "int " + V : "") + ") const\n"
           + body(w.one("int ", "auto ") + acc + " = " + init + ";\n" + lambda + loop + "\nreturn "
                  + acc + ";");
}

inline std::string layout(const std::string &code, std::mt19937 &style)
{
    const int indent = std::vector<int>{2, 4, 8}[style() % 3];
    const bool brace_own_line = style() % 2;
    std::string out;
    int depth = 0;
    std::size_t at = 0;
    while (at < code.size()) {
        std::size_t nl = code.find('\n', at);
        if (nl == std::string::npos)
            nl = code.size();
        std::string line = code.substr(at, nl - at);
        at = nl + 1;
        if (!line.empty() && line[0] == '}')
            --depth;
        if (!brace_own_line && line == "{" && !out.empty()) {
            out.back() = ' ';
            out += "{\n";
        } else {
            out += std::string(std::size_t(std::max(depth, 0) * indent), ' ') + line + "\n";
        }
        if (!line.empty() && line.back() == '{')
            ++depth;
    }
    return out;
}

} // namespace similarityclass

// The handed-out files: the interface, stubs to fill and the driver that reads commands.
inline std::vector<SourceFile> stack_template()
{
    return {{"stack.h", R"(#pragma once
#include <iostream>

// A bounded stack of integers. Keep the public part as it is; add your members below.
class Stack
{
public:
    explicit Stack(int capacity);
    ~Stack();
    bool push(int value);   // false when full
    bool pop();             // false when empty
    int top() const;
    bool empty() const;
    bool full() const;
    int size() const;
    int capacity() const;
    void print(std::ostream &out) const;
    bool assign(const Stack &other);

private:
    // your members here
};
)"},
            {"main.cpp", R"(#include "stack.h"
#include <iostream>
#include <string>

// Reads commands from standard input and prints what the stack says. Do not change this file.
int main()
{
    int capacity = 0;
    if (!(std::cin >> capacity) || capacity < 0) {
        std::cout << "bad capacity" << std::endl;
        return 1;
    }
    Stack stack(capacity);
    std::string command;
    while (std::cin >> command) {
        if (command == "push") {
            int value = 0;
            std::cin >> value;
            std::cout << (stack.push(value) ? "ok" : "full") << std::endl;
        } else if (command == "pop") {
            std::cout << (stack.pop() ? "ok" : "empty") << std::endl;
        } else if (command == "top") {
            if (stack.empty())
                std::cout << "empty" << std::endl;
            else
                std::cout << stack.top() << std::endl;
        } else if (command == "print") {
            stack.print(std::cout);
        } else if (command == "size") {
            std::cout << stack.size() << " of " << stack.capacity() << std::endl;
        } else {
            std::cout << "unknown command" << std::endl;
        }
    }
    return 0;
}
)"}};
}

inline StudentSources stack_solution(const std::string &student, const StackPlan &plan)
{
    using namespace similarityclass;
    std::mt19937 names_rng(plan.names * 31 + 5), order_rng(plan.order * 17 + 11),
        style_rng(plan.style * 13 + 7);
    const Names m = make_names(names_rng);
    const Storage storage = Storage(std::mt19937(plan.choices * 101 + 1)() % 3);
    const unsigned habits = std::mt19937(plan.choices * 53 + 9)() % 16;
    std::vector<std::string> names = {"ctor", "dtor", "push",     "pop",   "top",   "empty",
                                      "full", "size", "capacity", "print", "assign"};
    const int extras = 1 + int(std::mt19937(plan.choices * 7 + 2)() % 3) + plan.extra_functions;
    const char *extra_names[] = {"reverse", "sum", "largest", "occurrences"};
    for (int e = 0; e < extras; ++e)
        names.push_back(std::string(extra_names[e % 4]) + (e >= 4 ? std::to_string(e / 4) : ""));
    std::shuffle(names.begin(), names.end(), order_rng);

    const char *comments[] = {
        "// Adds a value on top.", "// helper",           "/* written for lab 2 */",    "// O(1)",
        "// see lecture notes",    "// TODO check again", "// returns false on failure"};
    std::string cpp
        = "#include \"stack.h\"\n#include <iostream>\n#include <vector>\n"
          "#include <limits>\n#include <algorithm>\n#include <stdexcept>\n#include <cassert>\n\n";
    for (const std::string &name : names) {
        // Each function from its own stream of choices: one of them taken from another student
        // leaves the others as they were.
        const unsigned seed
            = (name == plan.donor_function ? plan.donor_choices : plan.choices) * 1000003u
              + unsigned(std::hash<std::string>()(name));
        Writer w(seed, plan, names_rng);
        w.habits = name == plan.donor_function ? std::mt19937(plan.donor_choices * 53 + 9)() % 16
                                               : habits;
        if (style_rng() % 3 == 0)
            cpp += comments[style_rng() % 7] + std::string("\n");
        cpp += layout(function(name, storage, w, m), style_rng) + "\n";
    }
    std::string members;
    if (storage == Array)
        members = "    int *" + m.data + ";\n    int " + m.count + ";\n    int " + m.cap + ";\n";
    else if (storage == Vector)
        members = "    std::vector<int> " + m.data + ";\n    int " + m.cap + ";\n";
    else
        members = "    struct " + m.node + "\n    {\n        int " + m.value + ";\n        "
                  + m.node + " *" + m.next + ";\n    };\n    " + m.node + " *" + m.head
                  + ";\n    int " + m.count + ";\n    int " + m.cap + ";\n";
    std::string header = stack_template()[0].text;
    std::string declared;
    for (const std::string &name : names) {
        if (name.rfind("reverse", 0) == 0)
            declared += "    int " + name + "();\n";
        else if (name.rfind("sum", 0) == 0 || name.rfind("largest", 0) == 0)
            declared += "    int " + name + "() const;\n";
        else if (name.rfind("occurrences", 0) == 0)
            declared += "    int " + name + "(int value) const;\n";
    }
    header.replace(header.find("\nprivate:"), 0, declared);
    header.replace(header.find("    // your members here\n"), 25, members);
    if (storage == Vector)
        header.replace(header.find("#include <iostream>"), 0, "#include <vector>\n");
    return {student, {{"stack.h", header}, {"stack.cpp", cpp}, stack_template()[1]}};
}
