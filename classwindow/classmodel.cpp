#include "classwindow/classmodel.h"

#include "gradebook/compare.h"
#include "gradebook/scoring.h"

#include <QColor>
#include <QFileInfo>
#include <QThreadPool>
#include <map>

namespace {

QString results_file(const QString &path)
{
    return QFileInfo(path).isDir() ? path + QStringLiteral("/results.json") : path;
}

std::string key(const StudentRecord &s)
{
    return s.id.empty() ? "folder:" + s.folder : s.id;
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

void ClassModel::take(const QString &path, ClassResults results)
{
    folder_ = QFileInfo(results_file(path)).absolutePath();
    set_results(std::move(results));
}

bool ClassModel::open(const QString &path, QString &error)
{
    ClassResults results;
    if (!read(path, results, error))
        return false;
    take(path, std::move(results));
    return true;
}

void ClassModel::set_results(ClassResults results)
{
    // A rewrite during a grading only appends students or fills in their records: rows that
    // remain are changed in place, so that the views keep their selection and scroll position.
    const int before = rowCount();
    const int after = int(results.students.size());
    const bool same_columns = before > 0 && case_count() == int([&] {
                                                for (const StudentRecord &s : results.students)
                                                    if (!s.cases.empty())
                                                        return s.cases.size();
                                                return std::size_t(0);
                                            }());
    if (after < before || !same_columns) {
        beginResetModel();
        results_ = std::move(results);
        recompute();
        endResetModel();
        return;
    }
    if (after > before)
        beginInsertRows(QModelIndex(), before, after - 1);
    std::swap(results_, results);
    recompute();
    if (after > before)
        endInsertRows();
    if (before > 0)
        emit dataChanged(index(0, 0), index(before - 1, ColumnCount - 1));
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
