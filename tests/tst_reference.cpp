// The reference programs define the exercises, so their answers are checked byte for byte against
// answers worked out from the exercise rules: a wrong reference would mark correct students wrong.

#include "judge/suitecases.h"

#include <QProcess>
#include <QtTest>

namespace {

const char *const programs[] = {"a", "b", "c"};
const char *const exercises[] = {"stack", "queue", "stack queue"};

QStringList words(const QString &options)
{
    return options.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

struct Outcome
{
    bool finished = false;
    bool exited_normally = false;
    QByteArray output;
    QByteArray errors;
};

// Runs resource/<program>.exe directly, without a shell in between.
Outcome run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(ORVIMET_RESOURCE_DIR "/") + program + QStringLiteral(".exe"),
                  arguments);
    process.closeWriteChannel();
    Outcome outcome;
    // A generous guard against a hang, not a measure of speed.
    outcome.finished = process.waitForFinished(60000);
    if (!outcome.finished) {
        process.kill();
        process.waitForFinished();
        return outcome;
    }
    outcome.exited_normally
        = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    outcome.output = process.readAllStandardOutput();
    outcome.errors = process.readAllStandardError();
    return outcome;
}

void add_row(int program, const char *name, const QStringList &arguments, const char *expected)
{
    QTest::addRow("%s: %s", exercises[program], name)
        << QString::fromLatin1(programs[program]) << arguments << QByteArray(expected);
}

// One row per program when all three exercises answer alike.
void add_rows(const char *name, const char *options, const char *expected)
{
    for (int program = 0; program < 3; ++program)
        add_row(program, name, words(QString::fromUtf8(options)), expected);
}

void add_columns()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("expected");
}

QStringList repeated(const QStringList &head, const QStringList &unit, int times)
{
    QStringList list = head;
    for (int i = 0; i < times; ++i)
        list += unit;
    return list;
}

} // namespace

class TestReference : public QObject
{
    Q_OBJECT

private slots:
    void suite_data();
    void suite() { check(); }
    void rules_data();
    void rules() { check(); }
    void failures_data();
    void failures() { check(); }
    void hostile_data();
    void hostile() { check(); }

private:
    void check();
};

void TestReference::check()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, expected);
    const Outcome outcome = run(program, arguments);
    QVERIFY2(outcome.finished, "the program did not end");
    QVERIFY2(outcome.exited_normally, "the program did not end normally with exit code 0");
    QVERIFY(outcome.errors.isEmpty());
    QVERIFY(!outcome.output.endsWith('\n'));
    QCOMPARE(outcome.output, expected);
}

void TestReference::suite_data()
{
    add_columns();
    const char *const expected[3][10] = {
        {
            "S 5 I 1 2 3 4 O 1 2 O",
            "S 5 O I 1 2 3 4 E",
            "S 5 I 1 2 3 4 O 1 2 I 1 2 5 6 7 E",
            "S 5 I 1 2 3 4 O 1 2 A 1 2 I 1 2 5 6 E",
            "S 5 I 1 2 3 4 O 1 2 C 1 2 I 1 2 5 6 E",
            "S 5 I 1 2 3 4 O 1 2 N 2",
            "S 5 I 1 2 3 4 G 4 E",
            "S 5 I 1 2 3 4 G 4 E",
            "S 3 I 1 2 3 O 1 2 E",
            "S 3 E",
        },
        {
            "S 5 I 1 2 3 4 O 3 4 O",
            "S 5 O I 1 2 3 4 E",
            "S 5 I 1 2 3 4 O 3 4 I 3 4 5 6 7 E",
            "S 5 I 1 2 3 4 O 3 4 A 3 4 I 3 4 5 6 E",
            "S 5 I 1 2 3 4 O 3 4 C 3 4 I 3 4 5 6 E",
            "S 5 I 1 2 3 4 O 3 4 N 2",
            "S 5 I 1 2 3 4 G 4 E",
            "S 5 I 1 2 3 4 G 4 E",
            "S 3 I 1 2 3 O 2 3 E",
            "S 3 E",
        },
        {
            "S 5 I 1 2 3 4 O 3 4 O",
            "S 5 O I 1 2 3 4 E",
            "S 5 I 1 2 3 4 O 3 4 I 3 4 5 6 7 I 3 4 5 6 7 8",
            "S 5 I 1 2 3 4 O 3 4 A 3 4 I 3 4 5 6 I 3 4 5 6 7 I 3 4 5 6 7 8",
            "S 5 I 1 2 3 4 O 3 4 C 3 4 I 3 4 5 6 A 3 4 5 6",
            "S 5 I 1 2 3 4 O 3 4 N 2",
            "S 5 I 1 2 3 4 G 4 E",
            "S 5 I 1 2 3 4 G 4 I 1 2 3 4 5 6 7 8 O 4 5 6 7 8 I 4 5 6 7 8 9 0 G 0 E",
            "S 3 I 1 2 3 O 2 3 I 2 3 5 6 G 3 E",
            "S 3 I 1 2 3 4 G 2 I 1 2 3 4 5 6 G 6 O E",
        },
    };
    for (int program = 0; program < 3; ++program) {
        for (int i = 0; i < 10; ++i) {
            const QByteArray name = "case " + QByteArray::number(i + 1);
            add_row(program, name.constData(), words(QString::fromLatin1(suite_options[i])),
                    expected[program][i]);
        }
    }
}

void TestReference::rules_data()
{
    add_columns();
    add_rows("no options", "", "");
    add_rows("inserting nothing", "-S 2 -I -N", "S 2 I N 0");
    add_rows("removing nothing", "-S 2 -I 4 -O 0", "S 2 I 4 O 4");
    add_rows("size zero", "-S 0 -N -I -O 0", "S 0 N 0 I O");
    add_rows("a second -S starts afresh", "-S 2 -I 1 2 -S 1 -N", "S 2 I 1 2 S 1 N 0");
    add_rows("assigning to a larger capacity", "-S 1 -I 1 -A 3 -I 2 3", "S 1 I 1 A 1 I 1 2 3");
    add_rows("assigning to the same capacity", "-S 3 -I 1 2 3 -A 3", "S 3 I 1 2 3 A 1 2 3");
    add_rows("negative values", "-S 3 -I -5 0 -0 -G 0", "S 3 I -5 0 0 G -5");
    add_rows("leading zeros", "-S 03 -I 007", "S 3 I 7");
    add_rows("minus zero as size", "-S -0 -N", "S 0 N 0");
    add_rows("extreme values", "-S 2 -I -2147483648 2147483647", "S 2 I -2147483648 2147483647");

    add_row(0, "listing order", words("-S 3 -I 1 2 3 -O 1 -G 0"), "S 3 I 1 2 3 O 1 2 G 1");
    add_row(1, "listing order", words("-S 3 -I 1 2 3 -O 1 -G 0"), "S 3 I 1 2 3 O 2 3 G 2");
    add_row(2, "listing order", words("-S 3 -I 1 2 3 -O 1 -G 0"), "S 3 I 1 2 3 O 2 3 G 2");
    add_row(0, "copy keeps the capacity", words("-S 2 -I 1 -C -I 2 -I 3"), "S 2 I 1 C 1 I 1 2 E");
    add_row(1, "copy keeps the capacity", words("-S 2 -I 1 -C -I 2 -I 3"), "S 2 I 1 C 1 I 1 2 E");
    add_row(2, "copy keeps the capacity", words("-S 2 -I 1 -C -I 2 -I 3"),
            "S 2 I 1 C 1 I 1 2 I 1 2 3");
    add_row(2, "positions across both stacks", words("-S 2 -I 1 2 3 -G 0 -G 2"),
            "S 2 I 1 2 3 G 1 G 3");
    add_row(2, "out-stack refilled once empty", words("-S 2 -I 1 2 3 -O 2 -I 4 -O 1 -N"),
            "S 2 I 1 2 3 O 3 I 3 4 O 4 N 1");
    add_row(2, "twice the capacity", words("-S 2 -I 1 2 3 4 -N"), "S 2 I 1 2 3 4 N 4");
    // Elements stay on their stack, so the copy refuses 6 as the original would.
    add_row(2, "copy keeps the stacks", words("-S 3 -I 1 2 -O 1 -I 3 4 -C -I 5 6"),
            "S 3 I 1 2 O 2 I 2 3 4 C 2 3 4 E");
    const QStringList assign = words("-S 3 -I 1 2 -O 1 -I 3 4 -A 4 -I 5 6");
    add_row(0, "assignment keeps the stacks", assign, "S 3 I 1 2 O 1 I 1 3 4 A 1 3 4 E");
    add_row(1, "assignment keeps the stacks", assign, "S 3 I 1 2 O 2 I 2 3 4 A 2 3 4 E");
    add_row(2, "assignment keeps the stacks", assign, "S 3 I 1 2 O 2 I 2 3 4 A 2 3 4 I 2 3 4 5 6");
}

void TestReference::failures_data()
{
    add_columns();
    add_rows("full", "-S 1 -I 1 2 3 -N", "S 1 E");
    add_rows("underflow", "-S 2 -I 1 -O 2 -N", "S 2 I 1 E");
    add_rows("underflow when empty", "-S 2 -O 1", "S 2 E");
    add_rows("G past the end", "-S 2 -I 7 -G 1", "S 2 I 7 E");
    add_rows("G negative", "-S 2 -I 7 -G -1", "S 2 I 7 E");
    add_rows("G when empty", "-S 2 -G 0", "S 2 E");
    add_rows("A too small", "-S 3 -I 1 2 -A 1 -N", "S 3 I 1 2 E");
    add_rows("A negative", "-S 3 -A -1", "S 3 E");
    add_rows("O negative", "-S 3 -I 1 -O -1", "S 3 I 1 E");
    add_rows("I before S", "-I 1 -S 2", "E");
    add_rows("O before S", "-O 0", "E");
    add_rows("A before S", "-A 3", "E");
    add_rows("C before S", "-C -S 1", "E");
    add_rows("N before S", "-N", "E");
    add_rows("G before S", "-G 0", "E");
    add_rows("unknown option", "-S 2 -X", "S 2 E");
    add_rows("lower-case option", "-s 2", "E");
    add_rows("number where an option belongs", "-S 2 5 -N", "S 2 E");
    add_rows("number after C", "-S 2 -C 5", "S 2 C E");
    add_rows("double dash", "--S 2", "E");
    add_rows("letters run together", "-SI 2", "E");
    add_rows("S without number", "-S", "E");
    add_rows("S followed by an option", "-S -I 1", "E");
    add_rows("O without number", "-S 2 -O", "S 2 E");
    add_rows("A without number", "-S 2 -A -N", "S 2 E");
    add_rows("G without number", "-S 2 -G", "S 2 E");
    add_rows("word as size", "-S x", "E");
    add_rows("fraction as size", "-S 2.5", "E");
    add_rows("plus sign", "-S +2", "E");
    add_rows("word among values", "-S 2 -I 1 x", "S 2 E");
    add_rows("fraction as value", "-S 2 -I 1.0", "S 2 E");
    add_rows("hexadecimal value", "-S 2 -I 0x1", "S 2 E");
    add_rows("lone minus", "-S 2 -I -", "S 2 E");
    add_rows("negative size", "-S -1 -N", "E");
    add_rows("nothing after a failure", "-S 1 -O 1 -S 3 -N", "S 1 E");

    const QStringList overflow = words("-S 2 -I 1 2 3");
    add_row(0, "overflow", overflow, "S 2 E");
    add_row(1, "overflow", overflow, "S 2 E");
    add_row(2, "overflow", overflow, "S 2 I 1 2 3");
    const QStringList later = words("-S 2 -I 1 2 -I 3");
    add_row(0, "overflow in a later -I", later, "S 2 I 1 2 E");
    add_row(1, "overflow in a later -I", later, "S 2 I 1 2 E");
    add_row(2, "overflow in a later -I", later, "S 2 I 1 2 I 1 2 3");
    add_row(2, "in-stack full, out-stack in use", words("-S 2 -I 1 2 3 -O 1 -I 4 5"),
            "S 2 I 1 2 3 O 2 3 E");
    add_row(2, "A too small for the out-stack", words("-S 2 -I 1 2 3 -A 1"), "S 2 I 1 2 3 E");
    add_row(2, "A too small for the in-stack", words("-S 2 -I 1 2 3 -O 2 -I 4 -A 1"),
            "S 2 I 1 2 3 O 3 I 3 4 E");
    add_row(2, "size zero", words("-S 0 -I 1"), "S 0 E");
}

void TestReference::hostile_data()
{
    add_columns();
    // Sized to stay well inside the 2 MiB that Linux allows for arguments and environment.
    QStringList values{"-S", "60000", "-I"};
    QByteArray listed = "S 60000 I";
    for (int i = 0; i < 60000; ++i) {
        values << QString::number(i);
        listed += ' ' + QByteArray::number(i);
    }
    const QStringList churn = repeated({"-S", "2"}, {"-I", "7", "-O", "1"}, 10000);
    const QByteArray churned = "S 2" + QByteArray(" I 7 O").repeated(10000);
    const QStringList copies = repeated({"-S", "1", "-I", "9"}, {"-C"}, 30000);
    const QByteArray copied = "S 1 I 9" + QByteArray(" C 9").repeated(30000);

    for (int p = 0; p < 3; ++p) {
        add_row(p, "size beyond 64 bits", {"-S", "99999999999999999999"}, "E");
        add_row(p, "size beyond 32 bits", {"-S", "2147483648"}, "E");
        add_row(p, "two billion places", words("-S 2000000000 -I 1 2 -N"),
                "S 2000000000 I 1 2 N 2");
        add_row(p, "largest size", words("-S 2147483647 -A 2147483647 -C -N"),
                "S 2147483647 A C N 0");
        add_row(p, "removing two billion", words("-S 2000000000 -I 1 -O 2000000000"),
                "S 2000000000 I 1 E");
        add_row(p, "value beyond 32 bits", words("-S 2 -I 2147483648"), "S 2 E");
        add_row(p, "huge position", words("-S 2 -I 1 -G 99999999999999999999"), "S 2 I 1 E");
        add_row(p, "empty argument", {"-S", "2", "", "-N"}, "S 2 E");
        add_row(p, "empty argument alone", {""}, "E");
        add_row(p, "full-width digit", {"-S", "2", "-I", QStringLiteral("１")}, "S 2 E");
        add_row(p, "accented option", {QStringLiteral("-Ś"), "2"}, "E");
        add_row(p, "sixty thousand values", values, listed.constData());
        add_row(p, "ten thousand insertions and removals", churn, churned.constData());
        add_row(p, "thirty thousand copies", copies, copied.constData());
    }
}

QTEST_GUILESS_MAIN(TestReference)
#include "tst_reference.moc"
