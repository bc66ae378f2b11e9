// The teacher's similarity outputs: hostile names and sources are shown as text on the pair
// pages, under the report's content security policy; similarity.csv does not let a spreadsheet
// run a name; the pages of an earlier grading do not outlive it.
#include "gradebook/similarityreport.h"
#include "similarityclass.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A planted copy of student 1 under `name`, whose stack.cpp ends with `tail`.
std::vector<StudentSources> pair_of(const std::string &name, const std::string &tail)
{
    StackPlan p;
    std::vector<StudentSources> out = {stack_solution("s1", p), stack_solution(name, p)};
    out[1].files[1].text += tail;
    out[1].files[1].name = name + ".cpp";
    return out;
}

} // namespace

class TestSimilarityReport : public QObject
{
    Q_OBJECT

private slots:
    void hostileTextIsShownAsText_data();
    void hostileTextIsShownAsText();
    void csvKeepsNamesAsText();
    void outputsReplaceAnEarlierGrading();
};

void TestSimilarityReport::hostileTextIsShownAsText_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<QByteArray>("shown"); // what the page must hold, escaped
    QTest::newRow("markup in a name") << QByteArray("<img src=x onerror=alert(1)>") << QByteArray()
                                      << QByteArray("&lt;img src=x onerror=alert(1)&gt;");
    QTest::newRow("a script in a comment")
        << QByteArray("bob") << QByteArray("// </pre><script>alert(1)</script>\n")
        << QByteArray("&lt;/pre&gt;&lt;script&gt;alert(1)&lt;/script&gt;");
    QTest::newRow("quotes and ampersands")
        << QByteArray("a\"b'c&d") << QByteArray() << QByteArray("a&quot;b&apos;c&amp;d");
    QTest::newRow("a NUL byte and binary")
        << QByteArray("nul") << QByteArray("int x;\0\x01\xff\n", 11)
        << QByteArray("int x;\xEF\xBF\xBD");
    QTest::newRow("a line of a megabyte")
        << QByteArray("long") << ("// " + QByteArray(1 << 20, '<') + "\n")
        << QByteArray("&lt;&lt;&lt; … (1048579 bytes)");
}

void TestSimilarityReport::hostileTextIsShownAsText()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, tail);
    QFETCH(QByteArray, shown);
    const auto sources = pair_of(name.toStdString(), tail.toStdString());
    const ClassSimilarity r = compare_class(sources, stack_template());
    QCOMPARE(r.pairs.size(), std::size_t(1));
    QVERIFY(r.pairs[0].flagged);
    const QByteArray page = QByteArray::fromStdString(similarity_pair_page(r, 0, sources));
    QVERIFY(page.contains("Content-Security-Policy\" content=\"default-src 'none'"));
    QVERIFY2(page.contains(shown), page.left(2000).constData());
    // No markup of the student's: every tag on the page is the page's own.
    QVERIFY(!page.contains("<script"));
    QVERIFY(!page.contains("<img"));
    QVERIFY(page.size() < 2 * (1 << 20) / 1000 * 1000 + 200000);
    QVERIFY(page.contains("<mark>"));
}

void TestSimilarityReport::csvKeepsNamesAsText()
{
    const auto sources = pair_of("=HYPERLINK(\"http://x\")", "");
    const std::string csv = similarity_csv(compare_class(sources, stack_template()));
    QVERIFY(csv.find("\"'=HYPERLINK(\"\"http://x\"\")\"") != std::string::npos);
    QVERIFY(csv.find("\"yes\"") != std::string::npos);
    QVERIFY(csv.find("similarity/pair-1.html") != std::string::npos);
}

void TestSimilarityReport::outputsReplaceAnEarlierGrading()
{
    QTemporaryDir results;
    const std::string folder = results.path().toStdString();
    QVERIFY(QDir().mkpath(results.filePath("similarity")));
    QFile stale(results.filePath("similarity/pair-9.html"));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();
    const auto sources = pair_of("copy", "");
    const ClassSimilarity r = compare_class(sources, stack_template());
    std::string error;
    QVERIFY2(write_similarity_outputs(folder, r, sources, error), error.c_str());
    QVERIFY(!QFile::exists(results.filePath("similarity/pair-9.html")));
    QVERIFY(QFile::exists(results.filePath("similarity/pair-1.html")));
    QVERIFY(QFile::exists(results.filePath("similarity.csv")));
    // The fingerprints are kept, the sources are not.
    QFile prints(results.filePath(fingerprints_file_name));
    QVERIFY(prints.open(QIODevice::ReadOnly));
    const QByteArray kept = prints.readAll();
    QVERIFY(!kept.contains("Stack::"));
    std::vector<StudentPrints> earlier;
    QVERIFY(read_fingerprints(kept.toStdString(), SimilaritySettings(), earlier, error));
    QCOMPARE(earlier.size(), std::size_t(2));
}

QTEST_GUILESS_MAIN(TestSimilarityReport)
#include "tst_similarityreport.moc"
