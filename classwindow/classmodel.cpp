#include "classwindow/classmodel.h"

#include "gradebook/compare.h"
#include "gradebook/scoring.h"

#include <QColor>
#include <QFileInfo>
#include <QThreadPool>
#include <cstring>
#include <map>
#include <string_view>

namespace {

QString results_file(const QString &path)
{
    return QFileInfo(path).isDir() ? path + QStringLiteral("/results.json") : path;
}

std::string key(const StudentRecord &s)
{
    return s.id.empty() ? "folder:" + s.folder : s.id;
}

// Every member of the record (records.h), hashed: the record as the file said it. Not the text
// of the record, which would cost a large class's opening a second to write again.
QByteArray record_digest(const StudentRecord &s)
{
    std::uint64_t h = 14695981039346656037ull;
    const auto mix
        = [&h](std::uint64_t value) { h ^= value + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2); };
    const auto text = [&](const std::string &t) {
        mix(std::hash<std::string_view>()(t));
        mix(t.size());
    };
    const auto number = [&](double d) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        mix(bits);
    };
    for (const std::string *t : {&s.folder, &s.name, &s.id, &s.message, &s.build_log, &s.build_hash,
                                 &s.memcheck_first, &s.memcheck_evasion, &s.memcheck_shrunk,
                                 &s.counterexample_options, &s.counterexample_original})
        text(*t);
    for (int n : {int(s.status), int(s.build_from_cache), s.build_warnings, s.memcheck_findings,
                  s.correct, s.wrong, s.timeouts, s.crashes, s.not_run, s.not_graded,
                  int(s.has_counterexample), s.counterexample_steps})
        mix(std::uint64_t(n));
    mix(s.copies.size());
    for (const std::string &copy : s.copies)
        text(copy);
    mix(s.similar ? s.similar->size() + 1 : 0);
    for (const SimilarityRecord &r : s.similar.value_or(std::vector<SimilarityRecord>())) {
        text(r.student);
        mix(r.earlier);
        number(r.similarity);
        number(r.coverage);
        mix(std::uint64_t(r.longest));
    }
    mix(s.cases.size());
    for (const CaseRecord &c : s.cases) {
        for (const std::string *t : {&c.options, &c.student, &c.reference, &c.student_word,
                                     &c.reference_word, &c.note, &c.memcheck})
            text(*t);
        for (int n : {int(c.verdict), int(c.ending), c.exit_code.value_or(-1000),
                      c.signal.value_or(-1000), c.difference})
            mix(std::uint64_t(n));
        number(c.seconds);
        mix(std::uint64_t(c.student_bytes));
        mix(std::uint64_t(c.reference_bytes));
    }
    return QByteArray(reinterpret_cast<const char *>(&h), sizeof h);
}

} // namespace

ClassModel::ClassModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

bool ClassModel::read(const QString &path, ClassResults &results, QString &error)
{
    std::string why;
    if (read_results(results_file(path).toStdString(), results, why))
        return true;
    error = shown(why);
    return false;
}

std::vector<QByteArray> ClassModel::digests(const ClassResults &results)
{
    std::vector<QByteArray> digests;
    digests.reserve(results.students.size());
    for (const StudentRecord &s : results.students)
        digests.push_back(record_digest(s));
    return digests;
}

void ClassModel::take(const QString &path, ClassResults results, std::vector<QByteArray> digests)
{
    folder_ = QFileInfo(results_file(path)).absolutePath();
    set_results(std::move(results), std::move(digests));
}

bool ClassModel::open(const QString &path, QString &error)
{
    ClassResults results;
    if (!read(path, results, error))
        return false;
    take(path, std::move(results));
    return true;
}

void ClassModel::reset(ClassResults results, std::vector<QByteArray> digests)
{
    beginResetModel();
    std::swap(results_, results);
    digests_ = std::move(digests);
    recompute();
    endResetModel();
    QThreadPool::globalInstance()->start(
        [old = std::make_shared<ClassResults>(std::move(results))] {});
}

void ClassModel::set_results(ClassResults results, std::vector<QByteArray> digests)
{
    if (digests.size() != results.students.size())
        digests = ClassModel::digests(results);
    // A grading only adds students, in the class's order, as they finish (not in order): the
    // rows held are then a subsequence of the new ones. Anything else (another class, other
    // cases, another scoring) is taken whole.
    const std::size_t before = results_.students.size(), after = results.students.size();
    std::vector<int> held(after, -1);
    std::size_t next = 0;
    for (std::size_t i = 0; i < after && next < before; ++i)
        if (results.students[i].folder == results_.students[next].folder)
            held[i] = int(next++);
    const auto cases = [](const ClassResults &r) {
        for (const StudentRecord &s : r.students)
            if (!s.cases.empty())
                return s.cases.size();
        return std::size_t(0);
    };
    const QLatin1String scoring("scoring");
    if (before == 0 || next < before || cases(results) != cases(results_)
        || results.document.value(scoring) != results_.document.value(scoring)) {
        reset(std::move(results), std::move(digests));
        return;
    }
    const ScoringRule rule = rule_from_json(results.document.value(scoring).toObject());
    static_cast<ClassHeader &>(results_) = static_cast<const ClassHeader &>(results);
    std::swap(results_.document, results.document);
    int first = -1, last = -1;
    for (std::size_t i = 0; i < after;) {
        if (held[i] >= 0) {
            if (digests[i] != digests_[i]) {
                std::swap(results_.students[i], results.students[i]);
                points_[i] = score(results_.students[i], rule);
                digests_[i] = digests[i];
                first = first < 0 ? int(i) : first;
                last = int(i);
            }
            ++i;
            continue;
        }
        // Students new to the model, inserted where the file has them.
        std::size_t end = i;
        while (end < after && held[end] < 0)
            ++end;
        beginInsertRows(QModelIndex(), int(i), int(end) - 1);
        results_.students.insert(
            results_.students.begin() + std::ptrdiff_t(i),
            std::make_move_iterator(results.students.begin() + std::ptrdiff_t(i)),
            std::make_move_iterator(results.students.begin() + std::ptrdiff_t(end)));
        digests_.insert(digests_.begin() + std::ptrdiff_t(i), digests.begin() + std::ptrdiff_t(i),
                        digests.begin() + std::ptrdiff_t(end));
        std::vector<std::optional<double>> points;
        for (std::size_t k = i; k < end; ++k)
            points.push_back(score(results_.students[k], rule));
        points_.insert(points_.begin() + std::ptrdiff_t(i), points.begin(), points.end());
        if (has_earlier_)
            recompute();
        endInsertRows();
        i = end;
    }
    if (has_earlier_) {
        recompute();
        first = 0;
        last = rowCount() - 1;
    }
    if (first >= 0)
        emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
    // The old records of a large class take tens of milliseconds to free: not on the window's
    // thread, which a grading asks for them about once a second.
    QThreadPool::globalInstance()->start(
        [old = std::make_shared<ClassResults>(std::move(results))] {});
}

bool ClassModel::compare_with(const QString &path, QString &error)
{
    ClassResults earlier;
    if (!read(path, earlier, error))
        return false;
    earlier_ = std::move(earlier);
    has_earlier_ = true;
    recompute();
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
    return true;
}

void ClassModel::recompute()
{
    const ScoringRule rule
        = rule_from_json(results_.document.value(QStringLiteral("scoring")).toObject());
    points_.clear();
    for (const StudentRecord &s : results_.students)
        points_.push_back(score(s, rule));
    changed_.clear();
    if (!has_earlier_)
        return;
    std::map<std::string, int> row_of;
    for (std::size_t i = 0; i < results_.students.size(); ++i)
        row_of[key(results_.students[i])] = int(i);
    for (const Change &change : compare(earlier_, results_, points_)) {
        StudentRecord probe;
        probe.id = change.id;
        probe.folder = change.folder;
        const auto found = row_of.find(key(probe));
        if (found != row_of.end() && !change.new_status.empty())
            changed_.insert(found->second);
    }
}

void ClassModel::set_anonymous(bool anonymous)
{
    if (anonymous == anonymous_)
        return;
    anonymous_ = anonymous;
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

QString ClassModel::shown_name(int row) const
{
    const StudentRecord &s = student(row);
    if (anonymous_)
        return tr("Participant %1").arg(s.id.empty() ? QString::number(row + 1) : shown(s.id));
    return shown(s.name.empty() ? s.folder : s.name);
}

// " (id)" after a name, as the teacher's outputs name a student; nothing while anonymous, where
// the name is the participant's number already.
QString ClassModel::shown_id(int row) const
{
    const StudentRecord &s = student(row);
    return anonymous_ || s.id.empty() ? QString() : QStringLiteral(" (%1)").arg(shown(s.id));
}

bool ClassModel::flagged(int row) const
{
    const StudentRecord &s = student(row);
    return !similar_to(s).empty() || s.memcheck_findings > 0;
}

std::vector<SimilarityRecord> similar_to(const StudentRecord &student)
{
    if (student.similar)
        return *student.similar;
    // A file whose sources were not compared (a shard's) still names the exact copies.
    std::vector<SimilarityRecord> copies;
    for (const std::string &folder : student.copies)
        copies.push_back({folder, false, 1.0, 1.0, 0});
    return copies;
}

QString ClassModel::status_text(const std::string &status)
{
    static const char *const words[][2] = {
        {"graded", QT_TR_NOOP("graded")},
        {"does not compile", QT_TR_NOOP("does not compile")},
        {"several programs", QT_TR_NOOP("several programs")},
        {"nothing handed in", QT_TR_NOOP("nothing handed in")},
        {"a Windows program", QT_TR_NOOP("a Windows program")},
        {"could not start", QT_TR_NOOP("could not start")},
        {"refused", QT_TR_NOOP("refused")},
        {"missing", QT_TR_NOOP("missing")},
        {"not graded", QT_TR_NOOP("not graded")},
        {"correct", QT_TR_NOOP("correct")},
        {"wrong", QT_TR_NOOP("wrong")},
        {"timeout", QT_TR_NOOP("timeout")},
        {"crash", QT_TR_NOOP("crash")},
        {"not run", QT_TR_NOOP("not run")},
    };
    for (const auto &word : words)
        if (status == word[0])
            return tr(word[1]);
    return shown(status);
}

int ClassModel::case_count() const
{
    for (const StudentRecord &s : results_.students)
        if (!s.cases.empty())
            return int(s.cases.size());
    return 0;
}

int ClassModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(results_.students.size());
}

int ClassModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ClassModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int row = index.row();
    const StudentRecord &s = student(row);
    const bool graded = s.status == ::Status::Graded;
    // Students who were not graded have no counts: shown empty, sorted below every count.
    const auto number = [&](int n) {
        return graded ? QVariant(n) : role == SortRole ? QVariant(-1) : QVariant();
    };
    if (role == Qt::DisplayRole || role == SortRole) {
        switch (index.column()) {
        case Name:
            return shown_name(row);
        case Id:
            return anonymous_ ? QVariant() : QVariant(shown(s.id));
        case Status:
            return status_text(word(s.status));
        case Points:
            if (const std::optional<double> p = points(row))
                return role == SortRole ? QVariant(*p) : QVariant(shown(points_text(*p)));
            return role == SortRole ? QVariant(-1.0) : QVariant();
        case Correct:
            return number(s.correct);
        case Wrong:
            return number(s.wrong);
        case Timeouts:
            return number(s.timeouts);
        case Crashes:
            return number(s.crashes);
        case Memory:
            return s.memcheck_findings;
        case SimilarTo: {
            // Each by the name the table shows for its student (a participant's number while
            // anonymous), never by its folder, which carries the name; most similar first.
            const std::vector<SimilarityRecord> similar = similar_to(s);
            if (role == SortRole)
                return similar.empty() ? 0.0 : similar.front().similarity;
            QStringList names;
            for (const SimilarityRecord &r : similar) {
                int other = 0;
                while (!r.earlier && other < rowCount() && student(other).folder != r.student)
                    ++other;
                const QString who
                    = r.earlier            ? (anonymous_ ? tr("a student of an earlier class")
                                                         : tr("%1, of an earlier class").arg(shown(r.student)))
                      : other < rowCount() ? shown_name(other) + shown_id(other)
                      : anonymous_         ? QStringLiteral("?")
                                           : shown(r.student);
                names << QStringLiteral("%1 %2%").arg(who).arg(qRound(r.similarity * 100));
            }
            return names.join(QStringLiteral(", "));
        }
        }
    }
    if (role == Qt::ToolTipRole && index.column() == Status && !s.message.empty())
        // A tool tip takes what looks like mark-up as such: escaped, in a paragraph of its own.
        return QStringLiteral("<p style='white-space:pre'>") + shown(s.message).toHtmlEscaped()
               + QStringLiteral("</p>");
    if (role == Qt::BackgroundRole && changed(row))
        return QColor(255, 236, 179);
    if (role == Qt::TextAlignmentRole && index.column() >= Points && index.column() != SimilarTo)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant ClassModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Name:
        return tr("Name");
    case Id:
        return tr("Id");
    case Status:
        return tr("Status");
    case Points:
        return tr("Points");
    case Correct:
        return tr("Correct");
    case Wrong:
        return tr("Wrong");
    case Timeouts:
        return tr("Time-outs");
    case Crashes:
        return tr("Crashes");
    case Memory:
        return tr("Memory findings");
    case SimilarTo:
        return tr("Similar to");
    }
    return {};
}

void StudentFilter::set_status(const QString &status)
{
    status_ = status;
    invalidateFilter();
}

void StudentFilter::set_text(const QString &text)
{
    text_ = text;
    invalidateFilter();
}

bool StudentFilter::filterAcceptsRow(int row, const QModelIndex &parent) const
{
    const auto *model = qobject_cast<const ClassModel *>(sourceModel());
    if (!model || parent.isValid())
        return true;
    const StudentRecord &s = model->student(row);
    if (!status_.isEmpty() && shown(word(s.status)) != status_)
        return false;
    if (text_.isEmpty())
        return true;
    if (model->shown_name(row).contains(text_, Qt::CaseInsensitive))
        return true;
    return !model->anonymous()
           && (shown(s.id).contains(text_, Qt::CaseInsensitive)
               || shown(s.folder).contains(text_, Qt::CaseInsensitive));
}
