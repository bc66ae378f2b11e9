#include "similarity/similarity.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

namespace {

constexpr std::uint64_t hash_base = 0x100000001b3ULL;

// Spreads a k-gram's polynomial hash over all 64 bits, so that the window minimum is a fair pick.
std::uint64_t mix(std::uint64_t x)
{
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

// The hash of each k-gram of ids, in order: rolled, so a source costs one pass whatever k is.
std::vector<std::uint64_t> kgram_hashes(const std::uint16_t *ids, std::size_t n, std::size_t k)
{
    std::vector<std::uint64_t> out;
    if (k == 0 || n < k)
        return out;
    out.reserve(n - k + 1);
    std::uint64_t top = 1; // hash_base^(k-1)
    for (std::size_t i = 1; i < k; ++i)
        top *= hash_base;
    std::uint64_t h = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i >= k)
            h -= (ids[i - k] + 1ULL) * top;
        h = h * hash_base + (ids[i] + 1ULL);
        if (i + 1 >= k)
            out.push_back(mix(h));
    }
    return out;
}

struct Kept
{
    std::uint64_t hash;
    std::uint32_t position; // of the k-gram's first token in the student's stream
};

// Robust winnowing: the rightmost smallest hash of each window, once per position.
void winnow(const std::vector<std::uint64_t> &hashes, std::size_t w, std::uint32_t offset,
            std::vector<Kept> &out)
{
    if (hashes.empty())
        return;
    w = std::max<std::size_t>(w, 1);
    std::deque<std::size_t> window; // positions with increasing hashes
    std::size_t last = SIZE_MAX;
    for (std::size_t i = 0; i < hashes.size(); ++i) {
        while (!window.empty() && hashes[window.back()] >= hashes[i])
            window.pop_back();
        window.push_back(i);
        if (window.front() + w <= i)
            window.pop_front();
        // A source shorter than one window still keeps its smallest hash.
        if ((i + 1 >= w || i + 1 == hashes.size()) && window.front() != last) {
            last = window.front();
            out.push_back({hashes[last], static_cast<std::uint32_t>(last + offset)});
        }
    }
}

// One student of this class: the token stream of all files, file after file.
struct Document
{
    std::vector<std::uint16_t> ids;
    std::vector<std::uint32_t> file, line, last_line;
    std::vector<std::size_t> file_begin; // each file's first token
    std::vector<bool> excluded; // covered by a template or common k-gram: no fragment crosses it
    std::vector<bool> popular;  // covered by a k-gram that several others write too
    std::vector<Kept> kept;     // sorted by hash
    std::vector<Kept> counted;  // the kept ones neither template nor common, sorted by hash
};

Document read_submission(const StudentSources &s, const SimilaritySettings &settings,
                         StudentPrints &prints, std::vector<std::vector<std::uint64_t>> &all)
{
    Document d;
    std::size_t budget = settings.max_tokens;
    for (std::size_t f = 0; f < s.files.size(); ++f) {
        prints.file_names.push_back(s.files[f].name);
        const LexedSource lexed = lex_cpp(s.files[f].text, budget);
        prints.truncated = prints.truncated || lexed.truncated;
        const std::size_t begin = d.ids.size();
        d.file_begin.push_back(begin);
        for (const Token &t : lexed.tokens) {
            d.ids.push_back(t.id);
            d.file.push_back(static_cast<std::uint32_t>(f));
            d.line.push_back(t.line);
            d.last_line.push_back(t.last_line);
        }
        budget -= std::min(budget, lexed.tokens.size());
        // K-grams stay inside a file: the order of the files is nobody's choice.
        all.push_back(kgram_hashes(d.ids.data() + begin, d.ids.size() - begin, settings.k));
        winnow(all.back(), settings.w, static_cast<std::uint32_t>(begin), d.kept);
    }
    prints.tokens = d.ids.size();
    d.excluded.assign(d.ids.size(), false);
    d.popular.assign(d.ids.size(), false);
    std::sort(d.kept.begin(), d.kept.end(), [](const Kept &x, const Kept &y) {
        return x.hash != y.hash ? x.hash < y.hash : x.position < y.position;
    });
    for (const Kept &k : d.kept) {
        if (prints.hashes.empty() || prints.hashes.back() != k.hash)
            prints.hashes.push_back(k.hash);
    }
    return d;
}

std::uint64_t pair_key(std::size_t a, std::size_t b)
{
    return (static_cast<std::uint64_t>(a) << 32) | b;
}

class Comparison
{
public:
    Comparison(const std::vector<StudentSources> &students_sources,
               const std::vector<SourceFile> &templates, const std::vector<StudentPrints> &earlier,
               const SimilaritySettings &settings)
        : students_sources(students_sources)
        , templates(templates)
        , earlier(earlier)
    {
        result.settings = settings;
    }

    ClassSimilarity run()
    {
        fingerprint();
        find_excluded();
        count_shared();
        score_pairs();
        join_groups();
        return std::move(result);
    }

private:
    void fingerprint()
    {
        const SimilaritySettings &s = result.settings;
        for (const SourceFile &t : templates) {
            const LexedSource lexed = lex_cpp(t.text, s.max_tokens);
            std::vector<std::uint16_t> ids;
            for (const Token &tok : lexed.tokens)
                ids.push_back(tok.id);
            // Every k-gram of the template, not only those it would keep: a student's window
            // may pick another of them.
            for (std::uint64_t h : kgram_hashes(ids.data(), ids.size(), s.k))
                template_hashes.insert(h);
        }
        grams.resize(students_sources.size());
        for (std::size_t i = 0; i < students_sources.size(); ++i) {
            StudentPrints prints;
            prints.student = students_sources[i].student;
            std::vector<std::vector<std::uint64_t>> per_file;
            documents.push_back(read_submission(students_sources[i], s, prints, per_file));
            for (auto &f : per_file)
                grams[i].push_back(std::move(f));
            result.students.push_back(std::move(prints));
        }
        for (StudentPrints e : earlier) {
            e.earlier = true;
            result.students.push_back(std::move(e));
        }
    }

    void find_excluded()
    {
        const std::size_t n = documents.size();
        std::unordered_map<std::uint64_t, std::uint32_t> holders;
        for (std::size_t i = 0; i < n; ++i) {
            for (std::uint64_t h : result.students[i].hashes)
                ++holders[h];
        }
        // A class of a few cannot tell a habit from a ring of copies: three of four students
        // sharing code are three copies.
        const double limit
            = std::max(double(common_floor), result.settings.common_share * double(n));
        for (const auto &[hash, count] : holders) {
            if (double(count) > limit)
                common_hashes.insert(hash);
        }
        // Every k-gram, kept or not, by the students writing it: a run of code that several of
        // them write alike (a constructor, an accessor, in the same order) is no sign of copying
        // between two of them, while a function only those two wrote is.
        std::unordered_map<std::uint64_t, std::uint32_t> writers;
        for (std::size_t i = 0; i < n; ++i) {
            std::vector<std::uint64_t> distinct;
            for (const auto &file : grams[i])
                distinct.insert(distinct.end(), file.begin(), file.end());
            std::sort(distinct.begin(), distinct.end());
            distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
            for (std::uint64_t h : distinct)
                ++writers[h];
        }
        const double popular = std::max(3.0, result.settings.popular_share * double(n));
        // Tokens under an excluded k-gram: shared fragments stop there.
        for (std::size_t i = 0; i < n; ++i) {
            Document &d = documents[i];
            for (std::size_t f = 0; f < grams[i].size(); ++f) {
                const auto &file = grams[i][f];
                for (std::size_t g = 0; g < file.size(); ++g) {
                    const bool out = excluded(file[g]);
                    const bool many = double(writers[file[g]]) >= popular;
                    for (std::size_t t = 0; t < result.settings.k; ++t) {
                        if (out)
                            d.excluded[d.file_begin[f] + g + t] = true;
                        if (many)
                            d.popular[d.file_begin[f] + g + t] = true;
                    }
                }
            }
        }
        for (Document &d : documents) {
            for (const Kept &k : d.kept) {
                if (!excluded(k.hash))
                    d.counted.push_back(k);
            }
        }
        for (StudentPrints &p : result.students) {
            p.counted = static_cast<std::size_t>(
                std::count_if(p.hashes.begin(), p.hashes.end(),
                              [this](std::uint64_t h) { return !excluded(h); }));
        }
    }

    bool excluded(std::uint64_t h) const
    {
        return template_hashes.count(h) > 0 || common_hashes.count(h) > 0;
    }

    // The index: every counted hash with the students holding it; each pair of holders shares
    // it. Common hashes are left out, so no hash is held by more than half the class.
    void count_shared()
    {
        std::vector<std::pair<std::uint64_t, std::uint32_t>> index;
        for (std::size_t i = 0; i < result.students.size(); ++i) {
            for (std::uint64_t h : result.students[i].hashes) {
                if (!excluded(h))
                    index.emplace_back(h, static_cast<std::uint32_t>(i));
            }
        }
        std::sort(index.begin(), index.end());
        const std::size_t here = documents.size();
        // A table of every pair where it fits, a map otherwise: the counting is the one part that
        // grows with the pairs, and a map's lookup costs more than the rest of the work.
        total = result.students.size();
        if (total <= 4096)
            dense.assign(total * total, 0);
        for (std::size_t run = 0; run < index.size();) {
            std::size_t end = run;
            while (end < index.size() && index[end].first == index[run].first)
                ++end;
            for (std::size_t x = run; x < end; ++x) {
                for (std::size_t y = x + 1; y < end; ++y) {
                    const std::size_t a = index[x].second, b = index[y].second;
                    if (a >= here) // two earlier students are not this class's business
                        break;
                    if (dense.empty())
                        ++shared[pair_key(a, b)];
                    else
                        ++dense[a * total + b];
                }
            }
            run = end;
        }
        for (std::size_t a = 0; !dense.empty() && a < total; ++a) {
            for (std::size_t b = a + 1; b < total; ++b) {
                if (dense[a * total + b])
                    shared[pair_key(a, b)] = dense[a * total + b];
            }
        }
        dense = {};
    }

    void score_pairs()
    {
        const SimilaritySettings &s = result.settings;
        for (const auto &[key, count] : shared) {
            SimilarPair p;
            p.a = key >> 32;
            p.b = key & 0xffffffffULL;
            p.shared = count;
            const double ca = double(result.students[p.a].counted);
            const double cb = double(result.students[p.b].counted);
            p.similarity = ca + cb > 0 ? 2.0 * count / (ca + cb) : 0;
            p.coverage = std::max(ca > 0 ? count / ca : 0, cb > 0 ? count / cb : 0);
            // A run of fragment_tokens tokens holds that many minus k - 1 k-grams, and one kept
            // hash in every w of them: a pair sharing fewer hashes cannot have one, and is
            // flagged, if at all, on its scores alone. Most pairs of a class share a few.
            const std::size_t needed
                = s.fragment_tokens >= s.k
                      ? (s.fragment_tokens - s.k + 1) / std::max<std::size_t>(s.w, 1)
                      : 1;
            const bool scored_flag = p.similarity >= s.threshold || p.coverage >= s.coverage;
            if (p.b < documents.size()
                && (scored_flag || count >= std::max<std::size_t>(needed, 1))) {
                p.fragments = fragments(p.a, p.b);
                p.longest = p.fragments.empty() ? 0 : p.fragments.front().tokens();
                for (const Fragment &f : p.fragments)
                    p.rare = std::max(p.rare, f.rare);
            }
            p.flagged = p.similarity >= s.threshold || p.coverage >= s.coverage
                        || p.rare >= s.fragment_tokens;
            if (!p.flagged)
                p.fragments.clear();
            result.pairs.push_back(std::move(p));
        }
        std::sort(result.pairs.begin(), result.pairs.end(),
                  [](const SimilarPair &x, const SimilarPair &y) {
                      if (x.similarity != y.similarity)
                          return x.similarity > y.similarity;
                      return x.a != y.a ? x.a < y.a : x.b < y.b;
                  });
    }

    // Every maximal run of equal tokens around a shared kept hash, not crossing excluded tokens
    // nor a file's end; each run once, longest first.
    std::vector<Fragment> fragments(std::size_t ia, std::size_t ib) const
    {
        const Document &a = documents[ia], &b = documents[ib];
        std::vector<Fragment> out;
        std::unordered_set<std::uint64_t> seen; // (a_begin, b_begin) of runs found
        auto same = [&](std::size_t x, std::size_t y) {
            return a.ids[x] == b.ids[y] && !a.excluded[x] && !b.excluded[y];
        };
        std::size_t j = 0;
        for (std::size_t i = 0; i < a.counted.size(); ++i) {
            const std::uint64_t h = a.counted[i].hash;
            while (j < b.counted.size() && b.counted[j].hash < h)
                ++j;
            for (std::size_t m = j; m < b.counted.size() && b.counted[m].hash == h; ++m) {
                std::size_t x = a.counted[i].position, y = b.counted[m].position;
                const std::uint32_t fa = a.file[x], fb = b.file[y];
                std::size_t x1 = x, y1 = y;
                while (x1 < a.ids.size() && y1 < b.ids.size() && a.file[x1] == fa
                       && b.file[y1] == fb && same(x1, y1))
                    ++x1, ++y1;
                if (x1 == x) // a hash collision, or the k-gram is excluded
                    continue;
                while (x > 0 && y > 0 && a.file[x - 1] == fa && b.file[y - 1] == fb
                       && same(x - 1, y - 1))
                    --x, --y;
                if (!seen.insert(pair_key(x, y)).second)
                    continue;
                Fragment f{};
                f.a_begin = std::uint32_t(x), f.a_end = std::uint32_t(x1);
                f.b_begin = std::uint32_t(y), f.b_end = std::uint32_t(y1);
                f.a_file = fa, f.a_first_line = a.line[x], f.a_last_line = a.last_line[x1 - 1];
                f.b_file = fb, f.b_first_line = b.line[y], f.b_last_line = b.last_line[y1 - 1];
                f.rare = std::uint32_t(std::count(a.popular.begin() + std::ptrdiff_t(x),
                                                  a.popular.begin() + std::ptrdiff_t(x1), false));
                out.push_back(f);
            }
        }
        std::sort(out.begin(), out.end(), [](const Fragment &x, const Fragment &y) {
            return x.tokens() != y.tokens() ? x.tokens() > y.tokens() : x.a_begin < y.a_begin;
        });
        return out;
    }

    void join_groups()
    {
        std::vector<std::size_t> parent(result.students.size());
        std::iota(parent.begin(), parent.end(), std::size_t(0));
        auto root = [&parent](std::size_t x) {
            while (parent[x] != x)
                x = parent[x] = parent[parent[x]];
            return x;
        };
        // Groups are of this class: two of its students are not one group for having both
        // copied from last year.
        const std::size_t here = documents.size();
        for (const SimilarPair &p : result.pairs) {
            if (p.flagged && p.b < here)
                parent[root(p.a)] = root(p.b);
        }
        std::vector<int> group_of_root(parent.size(), -1);
        std::vector<bool> in_pair(parent.size(), false);
        for (const SimilarPair &p : result.pairs) {
            if (p.flagged && p.b < here)
                in_pair[p.a] = in_pair[p.b] = true;
        }
        for (std::size_t i = 0; i < parent.size(); ++i) {
            if (!in_pair[i])
                continue;
            int &g = group_of_root[root(i)];
            if (g < 0) {
                g = int(result.groups.size());
                result.groups.emplace_back();
            }
            result.groups[std::size_t(g)].push_back(i);
        }
        for (SimilarPair &p : result.pairs) {
            if (p.flagged && p.b < here)
                p.group = group_of_root[root(p.a)];
        }
    }

    const std::vector<StudentSources> &students_sources;
    const std::vector<SourceFile> &templates;
    const std::vector<StudentPrints> &earlier;
    ClassSimilarity result;
    std::vector<Document> documents;
    std::vector<std::vector<std::vector<std::uint64_t>>> grams; // student, file, k-gram
    std::unordered_set<std::uint64_t> template_hashes, common_hashes;
    std::unordered_map<std::uint64_t, std::uint32_t> shared;
    std::vector<std::uint32_t> dense;
    std::size_t total = 0;
};

std::string escaped(std::string_view name)
{
    std::string out;
    for (char c : name) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string unescaped(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

std::string header(const SimilaritySettings &s)
{
    return "orvimet-fingerprints 1 k=" + std::to_string(s.k) + " w=" + std::to_string(s.w);
}

} // namespace

ClassSimilarity compare_class(const std::vector<StudentSources> &students_sources,
                              const std::vector<SourceFile> &templates,
                              const std::vector<StudentPrints> &earlier,
                              const SimilaritySettings &settings)
{
    return Comparison(students_sources, templates, earlier, settings).run();
}

std::string write_fingerprints(const ClassSimilarity &result)
{
    std::string out = header(result.settings) + "\n";
    char hex[20];
    for (const StudentPrints &p : result.students) {
        if (p.earlier)
            continue;
        out += escaped(p.student);
        out += '\t';
        out += std::to_string(p.tokens);
        out += '\t';
        for (std::size_t i = 0; i < p.hashes.size(); ++i) {
            std::snprintf(hex, sizeof hex, i ? " %llx" : "%llx",
                          static_cast<unsigned long long>(p.hashes[i]));
            out += hex;
        }
        out += '\n';
    }
    return out;
}

bool read_fingerprints(std::string_view text, const SimilaritySettings &settings,
                       std::vector<StudentPrints> &students, std::string &error)
{
    std::size_t nl = text.find('\n');
    const std::string_view first = text.substr(0, nl);
    if (first.rfind("orvimet-fingerprints ", 0) != 0) {
        error = "not a file of fingerprints";
        return false;
    }
    if (first != header(settings)) {
        error = "made with other settings (" + std::string(first.substr(21)) + ")";
        return false;
    }
    std::vector<StudentPrints> read;
    while (nl != std::string_view::npos && nl + 1 < text.size()) {
        const std::size_t begin = nl + 1;
        nl = text.find('\n', begin);
        const std::string_view line
            = text.substr(begin, nl == std::string_view::npos ? nl : nl - begin);
        const std::size_t t1 = line.find('\t');
        const std::size_t t2 = t1 == std::string_view::npos ? t1 : line.find('\t', t1 + 1);
        if (t2 == std::string_view::npos) {
            error = "a line without its three fields";
            return false;
        }
        StudentPrints p;
        p.student = unescaped(line.substr(0, t1));
        p.earlier = true;
        p.tokens
            = std::strtoull(std::string(line.substr(t1 + 1, t2 - t1 - 1)).c_str(), nullptr, 10);
        const std::string hashes(line.substr(t2 + 1));
        const char *at = hashes.c_str();
        while (*at) {
            char *end = nullptr;
            const unsigned long long h = std::strtoull(at, &end, 16);
            if (end == at || (*end && *end != ' ')) {
                error = "a hash that is not hexadecimal";
                return false;
            }
            p.hashes.push_back(h);
            at = *end ? end + 1 : end;
        }
        std::sort(p.hashes.begin(), p.hashes.end());
        p.hashes.erase(std::unique(p.hashes.begin(), p.hashes.end()), p.hashes.end());
        read.push_back(std::move(p));
    }
    students = std::move(read);
    return true;
}
