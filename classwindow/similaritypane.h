#pragma once

// The class's similarity as the window shows it: the flagged pairs and exact copies that
// results.json gives each student (`similar`), one row a pair, with their groups. The records
// hold no sources: the pair's page, which the grading wrote into the results folder with both
// sources side by side, is opened in the browser. Students are named as the students table names
// them, so that the anonymous switch hides them here too.

#include <QAbstractTableModel>
#include <QUrl>
#include <QWidget>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct ClassResults;
struct StudentRecord;
class ClassModel;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

// A pair of the class: two rows of the model, or a row and a student of an earlier class.
struct SimilarPairRow
{
    int a = -1, b = -1;  // b: -1 for an earlier class's student
    std::string earlier; // the earlier student's name as it was kept
    double similarity = 0, coverage = 0;
    int longest = 0;
    int group = 0; // from 1, of the connected pairs of this class; 0 against an earlier class
};

// Every pair once, most similar first, from the students' similar_to (classmodel.h).
std::vector<SimilarPairRow> similar_pairs(const ClassResults &results);

// The name the grading gave a student in similarity.csv and the pages: "name (id)".
std::string similarity_name(const StudentRecord &student);

// The pages of similarity.csv's flagged pairs, by the two students' names (similarity_name) as
// the file writes them, in both orders; relative to the results folder.
std::map<std::pair<std::string, std::string>, std::string> pair_pages(const std::string &csv);

class SimilarityModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Student, Other, Similarity, Coverage, Longest, Group, ColumnCount };

    explicit SimilarityModel(ClassModel *students, QObject *parent = nullptr);

    const SimilarPairRow &pair(int row) const { return pairs_[std::size_t(row)]; }
    // The groups as a line of text: "Group 1: A, B, C; group 2: ...".
    QString groups_text() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void refresh();
    QString name(int row) const;

    ClassModel *students_;
    std::vector<SimilarPairRow> pairs_;
};

class SimilarityPane : public QWidget
{
    Q_OBJECT

public:
    explicit SimilarityPane(ClassModel *students, QWidget *parent = nullptr);

    // The pair in view, a row of the model; -1 for none.
    int current_pair() const;
    const SimilarityModel *pairs() const { return pairs_; }
    // The page of the pair in view in the results folder; empty when the grading wrote none, and
    // while anonymous, for the page names the students.
    QUrl page() const;

signals:
    // The first student of the pair chosen, a row of the class model.
    void student_chosen(int row);

private:
    void open_page();
    void on_current();

    ClassModel *students_;
    SimilarityModel *pairs_;
    QSortFilterProxyModel *order_;
    QTableView *table_;
    QLabel *groups_;
    QPushButton *open_;
};
