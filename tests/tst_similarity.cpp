// Similarity across a class: a generated class of independent stack solutions sharing the
// handed-out template, with planted copies disguised in every way a student would; the
// winnowing's guarantee on runs of tokens; the template and common code left out; an earlier
// class compared through its fingerprints alone; hostile hand-ins bounded.
#include "similarity/similarity.h"
#include "similarityclass.h"

#include <QtTest>
#include <random>

namespace {

// Tokens drawn from a vocabulary of punctuators and keywords: two such sources share no run of
// ten tokens by chance.
std::string random_code(unsigned seed, int tokens)
{
    static const char *vocabulary[]
        = {"if",     "(",    ")",  "{",  "}",     ";",  "+",  "-", "*", "while",
           "return", "int",  "x",  "1",  "\"s\"", "<",  ">",  "=", "[", "]",
           "for",    "else", "&&", "||", "!",     "::", "->", ".", ",", "?"};
    std::mt19937 rng(seed);
    std::string out;
    for (int i = 0; i < tokens; ++i) {
        out += vocabulary[rng() % std::size(vocabulary)];
        out += i % 12 == 11 ? '\n' : ' ';
    }
    return out;
}

StudentSources one_file(const std::string &student, const std::string &text)
{
    return {student, {{"main.cpp", text}}};
}

StackPlan plan(unsigned seed)
{
    StackPlan p;
    p.choices = p.names = p.order = p.style = seed;
    return p;
}

const SimilarPair *find_pair(const ClassSimilarity &r, const std::string &a, const std::string &b)
{
    for (const SimilarPair &p : r.pairs) {
        const std::string &x = r.students[p.a].student, &y = r.students[p.b].student;
        if ((x == a && y == b) || (x == b && y == a))
            return &p;
    }
    return nullptr;
}

} // namespace

class TestSimilarity : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void plantedCopiesAreFlagged_data();
    void plantedCopiesAreFlagged();
    void independentSolutionsAreNotFlagged();
    void sharedRunsAreFound_data();
    void sharedRunsAreFound();
    void templateAndCommonCodeNeverCount_data();
    void templateAndCommonCodeNeverCount();
    void earlierClassThroughItsFingerprints_data();
    void earlierClassThroughItsFingerprints();
    void hostileHandInsAreBounded();

private:
    std::vector<StudentSources> cls;
    ClassSimilarity result;
    int independent = 34;
};

void TestSimilarity::initTestCase()
{
    for (int i = 1; i <= independent; ++i) {
        StackPlan p;
        p.choices = p.names = p.order = p.style = unsigned(i);
        cls.push_back(stack_solution("s" + std::to_string(i), p));
    }
    auto copy = [this](unsigned of, const std::string &name, auto disguise) {
        StackPlan p;
        p.choices = p.names = p.order = p.style = of;
        disguise(p);
        cls.push_back(stack_solution(name, p));
    };
    copy(1, "renamed", [](StackPlan &p) { p.names = 901; });
    copy(2, "reordered", [](StackPlan &p) { p.order = 902; });
    copy(3, "relaid", [](StackPlan &p) { p.style = 903; });
    copy(4, "padded", [](StackPlan &p) { p.dead_code = true; });
    copy(5, "loops", [](StackPlan &p) { p.loops_flipped = true; });
    copy(6, "everything", [](StackPlan &p) {
        p.names = p.order = p.style = 906;
        p.dead_code = p.loops_flipped = true;
    });
    copy(8, "first of three", [](StackPlan &p) { p.names = 908; });
    copy(8, "second of three", [](StackPlan &p) { p.order = p.style = 918; });
    // Student 7 takes student 9's reverse(), written for the same storage, into a solution of
    // its own.
    StackPlan donor;
    donor.choices = 9;
    const auto storage_of = [](const StackPlan &p) {
        const std::string h = stack_solution("", p).files[0].text;
        return int(h.find("std::vector<int>") != std::string::npos) * 2
               + int(h.find("struct") != std::string::npos);
    };
    StackPlan taker;
    taker.choices = 700;
    while (storage_of(taker) != storage_of(donor))
        ++taker.choices;
    taker.names = taker.order = taker.style = 7;
    taker.donor_function = "reverse";
    taker.donor_choices = 9;
    StackPlan donor_full = donor;
    donor_full.names = donor_full.order = donor_full.style = 9;
    QVERIFY(stack_solution("", donor_full).files[1].text.find("::reverse") != std::string::npos);
    cls[6] = stack_solution("s7", taker);
    // Two students hand the template back as they got it, one of them re-laid out.
    std::vector<SourceFile> t = stack_template();
    cls.push_back({"template", t});
    t[1].text = "// my main\n" + t[1].text;
    cls.push_back({"template again", t});
    QVERIFY(cls.size() >= 40);
    result = compare_class(cls, stack_template());
}

void TestSimilarity::plantedCopiesAreFlagged_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::newRow("identifiers renamed") << "s1"
                                         << "renamed";
    QTest::newRow("functions reordered") << "s2"
                                         << "reordered";
    QTest::newRow("comments and layout changed") << "s3"
                                                 << "relaid";
    QTest::newRow("dead code inserted") << "s4"
                                        << "padded";
    QTest::newRow("loops rewritten") << "s5"
                                     << "loops";
    QTest::newRow("all of these at once") << "s6"
                                          << "everything";
    QTest::newRow("one function copied") << "s7"
                                         << "s9";
    QTest::newRow("three copies: first and second") << "first of three"
                                                    << "second of three";
    QTest::newRow("three copies: original and first") << "s8"
                                                      << "first of three";
    QTest::newRow("three copies: original and second") << "s8"
                                                       << "second of three";
}

void TestSimilarity::plantedCopiesAreFlagged()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    const SimilarPair *p = find_pair(result, a.toStdString(), b.toStdString());
    QVERIFY(p);
    QVERIFY2(p->flagged, qPrintable(QString("similarity %1, coverage %2, rare run %3 tokens")
                                        .arg(p->similarity)
                                        .arg(p->coverage)
                                        .arg(p->rare)));
    QVERIFY(!p->fragments.empty());
    QCOMPARE(p->longest, p->fragments.front().tokens());
    // The three copies are one group, and nobody else is in it.
    if (a.contains("three") || b.contains("three")) {
        const auto &group = result.groups.at(std::size_t(p->group));
        QCOMPARE(group.size(), std::size_t(3));
    }
}

void TestSimilarity::independentSolutionsAreNotFlagged()
{
    int false_pairs = 0;
    for (const SimilarPair &p : result.pairs) {
        const std::string &a = result.students[p.a].student, &b = result.students[p.b].student;
        QVERIFY2(!p.flagged || a.rfind("template", 0) != 0, b.c_str());
        QVERIFY2(!p.flagged || b.rfind("template", 0) != 0, a.c_str());
        const bool planted_side = p.a >= std::size_t(independent) || p.b >= std::size_t(independent)
                                  || a == "s7" || b == "s7" || a == "s8" || b == "s8";
        if (p.flagged && !planted_side)
            ++false_pairs;
    }
    QVERIFY2(false_pairs <= 1, qPrintable(QString::number(false_pairs)));
}

void TestSimilarity::sharedRunsAreFound_data()
{
    const SimilaritySettings s;
    QTest::addColumn<int>("run");
    QTest::addColumn<bool>("found");
    QTest::newRow("a run of k + w - 1 tokens, wherever it lies") << int(s.k + s.w - 1) << true;
    QTest::newRow("a run of k tokens is too short to be sure of") << int(s.k) << false;
    QTest::newRow("a run of k - 1 tokens is never seen") << int(s.k - 1) << false;
}

void TestSimilarity::sharedRunsAreFound()
{
    QFETCH(int, run);
    QFETCH(bool, found);
    int seen = 0;
    const int tries = 400;
    for (unsigned seed = 1; seed <= tries; ++seed) {
        // The run somewhere else in each, after a different amount of unrelated code, between
        // tokens the random code never holds and that differ from one source to the other: the
        // run's neighbours must not lengthen it by chance.
        const std::string shared = random_code(seed * 1000, run);
        const auto a = one_file("a", random_code(seed, int(seed % 37) + 50) + "\ndo " + shared
                                         + " do\n" + random_code(seed + 7, 60));
        const auto b = one_file("b", random_code(seed + 3, int(seed % 23) + 80) + "\ncase " + shared
                                         + " case\n" + random_code(seed + 9, 40));
        const ClassSimilarity r = compare_class({a, b}, {});
        if (!r.pairs.empty())
            ++seen;
    }
    if (found)
        QCOMPARE(seen, tries);
    else if (run < int(SimilaritySettings().k))
        QCOMPARE(seen, 0);
    else
        QVERIFY(seen < tries); // found only when a window happens to keep it
}

void TestSimilarity::templateAndCommonCodeNeverCount_data()
{
    QTest::addColumn<int>("students");
    QTest::addColumn<bool>("with_common");
    QTest::addColumn<bool>("with_template");
    QTest::addColumn<int>("sharing"); // the first this many students share a block of their own
    QTest::addColumn<int>("pairs");
    QTest::newRow("template alone, twice") << 2 << false << true << 0 << 0;
    QTest::newRow("template and code of their own") << 2 << false << true << 0 << 0;
    QTest::newRow("template and the same code") << 2 << false << true << 2 << 1;
    QTest::newRow("code most of the class shares") << 8 << true << false << 0 << 0;
    QTest::newRow("common code and one shared block") << 8 << true << true << 2 << 1;
    QTest::newRow("three copies in a class of four") << 4 << false << true << 3 << 3;
}

void TestSimilarity::templateAndCommonCodeNeverCount()
{
    QFETCH(int, students);
    QFETCH(bool, with_common);
    QFETCH(bool, with_template);
    QFETCH(int, sharing);
    QFETCH(int, pairs);
    const std::string handed_out = random_code(77, 300), common = random_code(78, 200);
    std::vector<StudentSources> subs;
    for (int i = 0; i < students; ++i) {
        std::string text = with_template ? handed_out + "\n" : "";
        // Five in six of the class write the common block.
        if (with_common && i % 6 != 5)
            text += common + "\n";
        text += i < sharing ? random_code(79, 200) : random_code(unsigned(100 + i), 200);
        subs.push_back(one_file("s" + std::to_string(i), text));
    }
    const ClassSimilarity r
        = compare_class(subs, with_template ? std::vector<SourceFile>{{"t.cpp", handed_out}}
                                            : std::vector<SourceFile>{});
    QCOMPARE(int(r.pairs.size()), pairs);
    for (const SimilarPair &p : r.pairs) {
        QVERIFY(p.b < std::size_t(sharing));
        // Only the block they share counts, and it is all they have: a copy of each other.
        QCOMPARE(p.similarity, 1.0);
        QVERIFY(p.flagged);
    }
}

void TestSimilarity::earlierClassThroughItsFingerprints_data()
{
    QTest::addColumn<QByteArray>("damage"); // what becomes of the saved text
    QTest::addColumn<QString>("error");
    QTest::newRow("kept as written") << QByteArray() << QString();
    QTest::newRow("another k") << QByteArray("k=") << "made with other settings";
    QTest::newRow("not fingerprints") << QByteArray("junk") << "not a file of fingerprints";
    QTest::newRow("a hash that is not one")
        << QByteArray("hash") << "a hash that is not hexadecimal";
}

void TestSimilarity::earlierClassThroughItsFingerprints()
{
    QFETCH(QByteArray, damage);
    QFETCH(QString, error);
    // Last year's class: names as hostile as any, one of them the original of this year's copy.
    StackPlan p;
    p.choices = p.names = p.order = p.style = 41;
    std::vector<StudentSources> last
        = {stack_solution("tab\there\nline<b>", p), stack_solution("other", plan(42))};
    std::string saved = write_fingerprints(compare_class(last, stack_template()));
    if (damage == "k=")
        saved.replace(saved.find("k=") + 2, 2, "99");
    else if (damage == "junk")
        saved = "<html>";
    else if (damage == "hash")
        saved.replace(saved.rfind(' '), 1, " zz ");

    std::vector<StudentPrints> earlier;
    std::string why;
    const bool read = read_fingerprints(saved, SimilaritySettings(), earlier, why);
    QCOMPARE(read, error.isEmpty());
    QVERIFY2(QString::fromStdString(why).startsWith(error), why.c_str());
    if (!read)
        return;
    p.names = p.style = 51;
    const std::vector<StudentSources> now
        = {stack_solution("copier", p), stack_solution("honest", plan(43))};
    const ClassSimilarity r = compare_class(now, stack_template(), earlier);
    const SimilarPair *copied = find_pair(r, "copier", "tab\there\nline<b>");
    QVERIFY(copied);
    QVERIFY(copied->flagged);
    QVERIFY(r.students[copied->b].earlier);
    QCOMPARE(copied->group, -1);
    for (const SimilarPair &q : r.pairs)
        QVERIFY(!(r.students[q.a].earlier && r.students[q.b].earlier));
    // An earlier class's fingerprints are not written again as this class's.
    QCOMPARE(write_fingerprints(r).find("other"), std::string::npos);
}

void TestSimilarity::hostileHandInsAreBounded()
{
    std::string junk(50 << 20, '\0');
    std::mt19937 rng(5);
    for (char &c : junk)
        c = char(rng());
    std::string tokens;
    for (int i = 0; i < 1000000; ++i)
        tokens += "x+";
    const std::vector<StudentSources> subs = {
        {"junk", {{"a.cpp", junk}, {"b.cpp", tokens}}},
        stack_solution("s1", plan(1)),
        stack_solution("s2", plan(2)),
    };
    const ClassSimilarity r = compare_class(subs, stack_template());
    QVERIFY(r.students[0].truncated);
    QCOMPARE(r.students[0].tokens, SimilaritySettings().max_tokens);
    QVERIFY(!r.students[1].truncated);
}

QTEST_GUILESS_MAIN(TestSimilarity)
#include "tst_similarity.moc"
