// The similarity lexer against clang's own token dump (clang 14, a test oracle only): the kind
// and spelling of every token of the sample sources and of hostile ones, and bounds on sources no
// compiler would take.
#include "similarity/lexer.h"

#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Seen
{
    TokenKind kind;
    QByteArray spelling;
    int line;
    QByteArray clang_kind; // the oracle's own name, to check that digraphs mean what they stand for
};

// clang names its keywords by their spelling, and its unterminated literals 'unknown'.
TokenKind kind_of(const QByteArray &kind, const QByteArray &spelling)
{
    if (kind == "identifier")
        return TokenKind::Identifier;
    if (kind == "numeric_constant")
        return TokenKind::Number;
    if (kind.endsWith("string_literal"))
        return TokenKind::String;
    if (kind.endsWith("char_constant"))
        return TokenKind::Char;
    if (kind == "unknown") {
        const int dq = spelling.indexOf('"'), sq = spelling.indexOf('\'');
        return sq < 0 || (dq >= 0 && dq < sq) ? TokenKind::String : TokenKind::Char;
    }
    return kind == spelling ? TokenKind::Keyword : TokenKind::Punctuator;
}

QVector<Seen> clang_tokens(const QString &path, const QByteArray &source)
{
    // The standard headers as empty files: their tokens are never compared, and lexing them
    // took clang seconds a source.
    QTemporaryDir headers;
    static const QRegularExpression include(R"(#\s*include\s*<([\w./]+)>)");
    for (auto m = include.globalMatch(QString::fromUtf8(source)); m.hasNext();) {
        const QString header = headers.filePath(m.next().captured(1));
        QDir().mkpath(QFileInfo(header).path());
        QFile(header).open(QIODevice::WriteOnly);
    }
    QProcess clang;
    // The one macro of the samples defined as itself: clang would put its expansion where the
    // lexer sees the name.
    clang.start("clang-14", {"-x", "c++", "-std=c++20", "-DORVIMET_FAULT=ORVIMET_FAULT",
                             "-nostdinc", "-nostdinc++", "-isystem", headers.path(), "-Xclang",
                             "-dump-tokens", "-fsyntax-only", "-w", path});
    if (!clang.waitForFinished(120000))
        return {};
    const QByteArray dump = clang.readAllStandardError();
    // A token's flags may hold its spelling as written, splices and all: it spans lines.
    static const QRegularExpression token(R"(^(\w+) '(.*?)'\t.*?Loc=<([^\n]*)>$)",
                                          QRegularExpression::DotMatchesEverythingOption
                                              | QRegularExpression::MultilineOption);
    QVector<Seen> seen;
    const QString here = path + ':';
    for (auto m = token.globalMatch(QString::fromUtf8(dump)); m.hasNext();) {
        const auto match = m.next();
        const QString loc = match.captured(3);
        const QByteArray kind = match.captured(1).toUtf8(), spelling = match.captured(2).toUtf8();
        // Tokens of included files and stray bytes, which the lexer skips, are not compared.
        if (!loc.startsWith(here) || kind == "eof")
            continue;
        if (kind == "unknown" && !spelling.contains('"') && !spelling.contains('\''))
            continue;
        seen.push_back({kind_of(kind, spelling), spelling, loc.section(':', 1, 1).toInt(), kind});
    }
    return seen;
}

const char *name(TokenKind k)
{
    static const char *names[]
        = {"identifier", "keyword", "punctuator", "string", "char", "number", "directive"};
    return names[int(k)];
}

} // namespace

class TestLexer : public QObject
{
    Q_OBJECT

private slots:
    void agreesWithClang_data();
    void agreesWithClang();
    void hostileSourcesAreBounded_data();
    void hostileSourcesAreBounded();
};

void TestLexer::agreesWithClang_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<int>("directives");
    const QString root = QFINDTESTDATA("../CMakeLists.txt").section('/', 0, -2);
    for (const QString folder : {"examples", "reference"}) {
        QDir dir(root + '/' + folder);
        for (const QString &f : dir.entryList({"*.cpp", "*.h"}, QDir::Files, QDir::Name)) {
            QFile in(dir.filePath(f));
            QVERIFY(in.open(QIODevice::ReadOnly));
            const QByteArray source = in.readAll();
            const int directives = int(source.count("\n#") + source.startsWith('#'));
            QTest::newRow(qPrintable(folder + '/' + f)) << dir.filePath(f) << source << directives;
        }
    }
    auto row = [](const char *name, const QByteArray &source, int directives = 0) {
        QTest::newRow(name) << QString() << source << directives;
    };
    row("unterminated string runs to its line's end", "int a = \"abc; int b;\nint c;\n");
    row("unterminated character", "char a = 'x;\nint c;\n");
    row("unterminated comment swallows the rest", "int a; /* int b;\nint c;\n");
    row("line splices inside a word, a comment and a string",
        "in\\\nt a = 1; // x \\\n int b;\nconst char *s = \"ab\\\ncd\";\nint c;\n");
    row("splice with blanks before the newline", "int a\\  \n b;\n");
    row("raw strings with delimiters and quotes inside",
        "auto s = R\"(a \" b)\"; auto t = R\"xy(q)\" )xy\"; auto u = u8R\"(z)\";\nint n;\n");
    row("digraphs and alternative tokens",
        "int a<:3:> = <%1, 2%>; bool b = a and not b or a<:0:> xor 1; %:define X\n", 0);
    row("'<::' before a name is '<' and '::'", "std::vector<::X> v; a<::> b;\n");
    row("UTF-8 and universal-character-name identifiers",
        "int \xc3\xa9t\xc3\xa9 = 1; int \\u00e9x = 2; double \xcf\x80 = 3.14;\n");
    row("literal prefixes, suffixes and separators",
        "auto a = u8\"x\"; auto b = L'y'; auto c = U\"z\"s; auto d = 1'000'000ull; "
        "auto e = 0x1.8p+3; auto f = .5e-3f; auto g = 12_km; auto h = u'q';\n");
    row("longest match of punctuators", "a<<=b>>=c<=>d->*e...f.*g::h;x+++++y;p->q;\n");
    row("directives anywhere a line starts, with comments and splices",
        "  # include <vector> /* a\ncomment */ int x;\n#define F(a) \\\n  (a)\nint y;\n", 2);
    row("stray bytes between tokens", "int a @ = ` 1; \x01 int b;\n");
}

void TestLexer::agreesWithClang()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, source);
    QFETCH(int, directives);
    if (QStandardPaths::findExecutable("clang-14").isEmpty())
        QSKIP("clang-14 is not installed: it is the oracle of this test");
    QTemporaryDir dir;
    if (file.isEmpty()) {
        file = dir.filePath("source.cpp");
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(source);
    }
    const QVector<Seen> expected = clang_tokens(file, source);
    QVERIFY(!expected.isEmpty());

    const LexedSource lexed = lex_cpp(std::string_view(source.constData(), source.size()));
    QVector<Seen> actual;
    int directives_seen = 0;
    for (const Token &t : lexed.tokens) {
        if (t.kind == TokenKind::Directive) {
            ++directives_seen;
            continue;
        }
        const auto s = lexed.spelling(t);
        actual.push_back({t.kind, QByteArray(s.data(), int(s.size())), int(t.line), {}});
    }
    QCOMPARE(directives_seen, directives);
    QMap<QByteArray, std::uint16_t> id_of_clang_kind;
    for (int i = 0; i < std::min(actual.size(), expected.size()); ++i) {
        const Seen &a = actual[i], &e = expected[i];
        const QByteArray where = "token " + QByteArray::number(i) + " '" + e.spelling + "' on line "
                                 + QByteArray::number(e.line);
        QVERIFY2(a.kind == e.kind, where + ": " + name(a.kind) + " instead of " + name(e.kind));
        QCOMPARE(a.spelling, e.spelling);
        QCOMPARE(a.line, e.line);
    }
    QCOMPARE(actual.size(), expected.size());
    // Two spellings clang takes for one token ('<:' and '[', 'and' and '&&') compare as one.
    int at = 0;
    for (const Token &t : lexed.tokens) {
        if (t.kind == TokenKind::Directive)
            continue;
        if (t.kind == TokenKind::Punctuator) {
            const auto found = id_of_clang_kind.constFind(expected[at].clang_kind);
            if (found == id_of_clang_kind.constEnd())
                id_of_clang_kind.insert(expected[at].clang_kind, t.id);
            else
                QVERIFY2(*found == t.id, expected[at].spelling.constData());
        }
        ++at;
    }
}

void TestLexer::hostileSourcesAreBounded_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<int>("tokens"); // -1: the bound
    const int mb50 = 50 << 20;
    QTest::newRow("a 50 MB line in one unterminated string") << ('"' + QByteArray(mb50, 'a')) << 1;
    QTest::newRow("a 50 MB identifier") << QByteArray(mb50, 'x') << 1;
    QTest::newRow("a 50 MB unterminated comment") << ("/*" + QByteArray(mb50, '*')) << 0;
    QTest::newRow("a 50 MB line of backslashes") << QByteArray(mb50, '\\') << 0;
    QTest::newRow("a 50 MB raw string never closed") << ("R\"x(" + QByteArray(mb50, ')')) << 1;
    QTest::newRow("millions of tokens stop at the bound") << QByteArray(mb50 / 4, ';') << -1;
    QByteArray junk(8 << 20, '\0');
    quint32 x = 2463534242u;
    for (char &c : junk) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = char(x);
    }
    QTest::newRow("8 MB of binary junk") << junk << -2;
}

void TestLexer::hostileSourcesAreBounded()
{
    QFETCH(QByteArray, source);
    QFETCH(int, tokens);
    QElapsedTimer timer;
    timer.start();
    const LexedSource lexed = lex_cpp(std::string_view(source.constData(), source.size()));
    // Linear time: a quadratic scan of 50 MB would take hours, not this.
    QVERIFY2(timer.elapsed() < 60000, qPrintable(QString::number(timer.elapsed())));
    if (tokens == -1) {
        QCOMPARE(lexed.tokens.size(), default_max_tokens);
        QVERIFY(lexed.truncated);
    } else if (tokens == -2) {
        QVERIFY(lexed.tokens.size() <= default_max_tokens);
        for (const Token &t : lexed.tokens)
            QVERIFY(std::size_t(t.offset) + t.length <= lexed.text.size());
    } else {
        QCOMPARE(int(lexed.tokens.size()), tokens);
        QVERIFY(!lexed.truncated);
    }
}

QTEST_GUILESS_MAIN(TestLexer)
#include "tst_lexer.moc"
