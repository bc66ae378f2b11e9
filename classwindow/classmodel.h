#pragma once

// The graded class as the class window shows it: one row per student of results.json, read
// through the gradebook's reader. Every view of the window (the students table, the case matrix,
// the detail pane) reads the records through this model, so that the reader can change in one
// place.

#include "results/resultsjson.h"

#include <QAbstractTableModel>
#include <QSet>
#include <QSortFilterProxyModel>
#include <optional>
#include <vector>

class ClassModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        Name,
        Id,
        Status,
        Points,
        Correct,
        Wrong,
        Timeouts,
        Crashes,
        Memory,
        SimilarTo,
        ColumnCount
    };
    // The value a column sorts by: numbers as numbers, texts as texts.
    static constexpr int SortRole = Qt::UserRole + 1;

    explicit ClassModel(QObject *parent = nullptr);

    // Reads `folder`/results.json (or a results.json given itself). The model keeps what it had
    // when the file cannot be read, which is what a live view wants while a grader rewrites it.
    bool open(const QString &path, QString &error);
    // The two halves of open(): reading, which any thread may do, and taking what was read.
    static bool read(const QString &path, ClassResults &results, QString &error);
    // A digest of each student's record, by which a rewrite of the file is compared with what
    // the model holds: made where the file was read, off the window's thread.
    static std::vector<QByteArray> digests(const ClassResults &results);
    void take(const QString &path, ClassResults results, std::vector<QByteArray> digests = {});
    // Takes new results in place of the old. A rewrite during a grading adds students and
    // changes a few: only those rows are inserted or changed, so that the views redraw them
    // alone and keep their selection; `digests` (else made here) tell which changed.
    void set_results(ClassResults results, std::vector<QByteArray> digests = {});
    // Rows whose status or points differ from an earlier grading (matched by id, else folder);
    // empty: nothing to compare with.
    bool compare_with(const QString &path, QString &error);

    void set_anonymous(bool anonymous);
    bool anonymous() const { return anonymous_; }

    const ClassResults &results() const { return results_; }
    const StudentRecord &student(int row) const { return results_.students[std::size_t(row)]; }
    std::optional<double> points(int row) const { return points_[std::size_t(row)]; }
    bool changed(int row) const { return changed_.contains(row); }
    // What a person sees for the student: the name, or "Participant <id>" when anonymous.
    QString shown_name(int row) const;
    QString shown_id(int row) const;
    // Much like another student's sources, memory findings: worth a second look.
    bool flagged(int row) const;
    int case_count() const;
    // A status or verdict of results.json in the window's language; an unknown word as it is.
    static QString status_text(const std::string &status);
    QString results_folder() const { return folder_; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void recompute();
    void reset(ClassResults results, std::vector<QByteArray> digests);

    ClassResults results_;
    std::vector<QByteArray> digests_;
    std::vector<std::optional<double>> points_;
    QSet<int> changed_;
    ClassResults earlier_;
    bool has_earlier_ = false;
    bool anonymous_ = false;
    QString folder_;
};

// The students table's filter: one status (empty: all) and a text found in the name, id or
// folder (as shown: never the hidden names while anonymous).
class StudentFilter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void set_status(const QString &status);
    void set_text(const QString &text);

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override;

private:
    QString status_, text_;
};

// The students whose sources are much like this one's, most similar first: its `similar`
// records, or its exact copies (similarity 1.0) when the file has none.
std::vector<SimilarityRecord> similar_to(const StudentRecord &student);

// Texts of the records become QStrings only to be shown; the records hold UTF-8.
inline QString shown(const std::string &text)
{
    return QString::fromStdString(text);
}
