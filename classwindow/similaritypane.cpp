#include "classwindow/similaritypane.h"

#include "classwindow/classmodel.h"
#include "gradebook/sheets.h"
#include "gradebook/similarityreport.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>
#include <set>

namespace {

bool same(const SimilarPairRow &x, const SimilarPairRow &y)
{
    return x.a == y.a && x.b == y.b && x.earlier == y.earlier && x.similarity == y.similarity
           && x.coverage == y.coverage && x.longest == y.longest && x.group == y.group;
}

// similarity.csv writes a name that a spreadsheet would take for a formula after a quote.
std::string csv_name(const std::string &field)
{
    if (field.size() > 1 && field[0] == '\''
        && std::string("=+-@\t\r").find(field[1]) != std::string::npos)
        return field.substr(1);
    return field;
}

QString percent(double ratio)
{
    return QStringLiteral("%1%").arg(qRound(ratio * 100));
}

} // namespace

std::string similarity_name(const StudentRecord &student)
{
    if (student.id.empty())
        return student.name.empty() ? student.folder : student.name;
    return student.name + " (" + student.id + ")";
}

std::vector<SimilarPairRow> similar_pairs(const ClassResults &results)
{
    const std::vector<StudentRecord> &students = results.students;
    std::map<std::string, int> row_of;
    for (std::size_t i = 0; i < students.size(); ++i)
        row_of.emplace(students[i].folder, int(i));
    std::vector<SimilarPairRow> pairs;
    std::set<std::pair<int, int>> seen;
    for (std::size_t i = 0; i < students.size(); ++i) {
        const StudentRecord &s = students[i];
        for (const SimilarityRecord &r : similar_to(s)) {
            SimilarPairRow pair{int(i), -1, {}, r.similarity, r.coverage, r.longest, 0};
            if (r.earlier) {
                pair.earlier = r.student;
                pair.longest = 0;
                pairs.push_back(pair);
                continue;
            }
            // Another shard's student is in no record here: its pair is listed by its own part.
            const auto other = row_of.find(r.student);
            if (other == row_of.end() || other->second == int(i))
                continue;
            pair.a = std::min(int(i), other->second);
            pair.b = std::max(int(i), other->second);
            if (seen.insert({pair.a, pair.b}).second)
                pairs.push_back(pair);
        }
    }
    // Connected pairs of the class form a group, numbered by their first student in the file.
    std::vector<int> root(students.size());
    std::iota(root.begin(), root.end(), 0);
    const auto find = [&](int x) {
        while (root[std::size_t(x)] != x)
            x = root[std::size_t(x)] = root[std::size_t(root[std::size_t(x)])];
        return x;
    };
    for (const SimilarPairRow &p : pairs)
        if (p.b >= 0)
            root[std::size_t(find(p.a))] = find(p.b);
    std::map<int, int> number;
    std::vector<int> first(students.size(), -1);
    for (const SimilarPairRow &p : pairs)
        if (p.b >= 0)
            first[std::size_t(p.a)] = 0;
    for (std::size_t row = 0; row < students.size(); ++row)
        if (first[row] == 0 && !number.count(find(int(row))))
            number.emplace(find(int(row)), int(number.size()) + 1);
    for (SimilarPairRow &p : pairs)
        if (p.b >= 0)
            p.group = number.at(find(p.a));
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const SimilarPairRow &x, const SimilarPairRow &y) {
                         return x.similarity > y.similarity;
                     });
    return pairs;
}

std::map<std::pair<std::string, std::string>, std::string> pair_pages(const std::string &csv)
{
    std::map<std::pair<std::string, std::string>, std::string> pages;
    std::vector<std::vector<std::string>> rows;
    std::string error;
    if (!parse_csv(csv, rows, error) || rows.empty())
        return pages;
    const std::vector<std::string> &header = rows.front();
    const auto column = [&](const char *name) {
        return std::size_t(std::find(header.begin(), header.end(), name) - header.begin());
    };
    const std::size_t a = column("Student"), b = column("Other student"), page = column("Page");
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const std::vector<std::string> &row = rows[r];
        if (std::max({a, b, page}) >= row.size() || row[page].empty())
            continue;
        // Only the grading's own numbered pages: a cell of the file never names another path.
        if (row[page].rfind(std::string(similarity_pages_folder) + "/pair-", 0) != 0
            || row[page].find("..") != std::string::npos)
            continue;
        pages[{csv_name(row[a]), csv_name(row[b])}] = row[page];
        pages[{csv_name(row[b]), csv_name(row[a])}] = row[page];
    }
    return pages;
}

SimilarityModel::SimilarityModel(ClassModel *students, QObject *parent)
    : QAbstractTableModel(parent)
    , students_(students)
{
    connect(students_, &QAbstractItemModel::modelReset, this, &SimilarityModel::refresh);
    connect(students_, &QAbstractItemModel::layoutChanged, this, &SimilarityModel::refresh);
    connect(students_, &QAbstractItemModel::rowsInserted, this, &SimilarityModel::refresh);
    connect(students_, &QAbstractItemModel::dataChanged, this, &SimilarityModel::refresh);
    refresh();
}

void SimilarityModel::refresh()
{
    std::vector<SimilarPairRow> pairs = similar_pairs(students_->results());
    if (pairs.size() == pairs_.size()
        && std::equal(pairs.begin(), pairs.end(), pairs_.begin(), same)) {
        // The same pairs, perhaps named otherwise (the anonymous switch): kept, so that the
        // pair in view stays.
        if (!pairs_.empty())
            emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
        return;
    }
    beginResetModel();
    pairs_ = std::move(pairs);
    endResetModel();
}

QString SimilarityModel::name(int row) const
{
    return students_->shown_name(row) + students_->shown_id(row);
}

QString SimilarityModel::groups_text() const
{
    std::map<int, std::vector<int>> groups;
    for (const SimilarPairRow &p : pairs_)
        if (p.group > 0)
            for (int row : {p.a, p.b})
                groups[p.group].push_back(row);
    QStringList said;
    for (auto &[number, rows] : groups) {
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        QStringList names;
        for (int row : rows)
            names << name(row);
        said << tr("Group %1: %2").arg(number).arg(names.join(QStringLiteral(", ")));
    }
    if (pairs_.empty())
        return tr("No flagged pair and no exact copy");
    return tr("%n pair(s) flagged", nullptr, rowCount())
           + (said.isEmpty() ? QString() : QStringLiteral(". ") + said.join(QStringLiteral("; ")));
}

int SimilarityModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(pairs_.size());
}

int SimilarityModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SimilarityModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const SimilarPairRow &p = pair(index.row());
    const bool sorting = role == ClassModel::SortRole;
    if (role == Qt::TextAlignmentRole && index.column() >= Similarity)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && !sorting)
        return {};
    switch (index.column()) {
    case Student:
        return name(p.a);
    case Other:
        if (p.b >= 0)
            return name(p.b);
        // An earlier class's folder name holds the student's name.
        return students_->anonymous() ? tr("a student of an earlier class")
                                      : tr("%1, of an earlier class").arg(shown(p.earlier));
    case Similarity:
        return sorting ? QVariant(p.similarity) : QVariant(percent(p.similarity));
    case Coverage:
        return sorting ? QVariant(p.coverage) : QVariant(percent(p.coverage));
    case Longest:
        return p.b < 0 ? (sorting ? QVariant(-1) : QVariant()) : QVariant(p.longest);
    case Group:
        return p.group > 0 ? QVariant(p.group) : sorting ? QVariant(0) : QVariant();
    }
    return {};
}

QVariant SimilarityModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Student:
        return tr("Student");
    case Other:
        return tr("Similar to");
    case Similarity:
        return tr("Similarity");
    case Coverage:
        return tr("Coverage");
    case Longest:
        return tr("Longest shared run (tokens)");
    case Group:
        return tr("Group");
    }
    return {};
}

SimilarityPane::SimilarityPane(ClassModel *students, QWidget *parent)
    : QWidget(parent)
    , students_(students)
    , pairs_(new SimilarityModel(students, this))
    , order_(new QSortFilterProxyModel(this))
    , table_(new QTableView)
    , groups_(new QLabel)
    , open_(new QPushButton(tr("Open the pair's page")))
{
    setObjectName(QStringLiteral("similarityPane"));
    order_->setSourceModel(pairs_);
    order_->setSortRole(ClassModel::SortRole);
    order_->setDynamicSortFilter(true);
    table_->setObjectName(QStringLiteral("similarityTable"));
    table_->setModel(order_);
    table_->setSortingEnabled(true);
    table_->sortByColumn(SimilarityModel::Similarity, Qt::DescendingOrder);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setStretchLastSection(true);
    // Names come from the students' archive: shown as text, never as mark-up.
    groups_->setObjectName(QStringLiteral("similarityGroups"));
    groups_->setTextFormat(Qt::PlainText);
    groups_->setWordWrap(true);
    open_->setObjectName(QStringLiteral("openPairPage"));
    open_->setEnabled(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(open_);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(groups_);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);

    const auto said = [this] {
        groups_->setText(pairs_->groups_text());
        open_->setEnabled(!page().isEmpty());
    };
    connect(pairs_, &QAbstractItemModel::modelReset, this, said);
    connect(pairs_, &QAbstractItemModel::dataChanged, this, said);
    said();
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &SimilarityPane::on_current);
    connect(table_, &QAbstractItemView::activated, this, &SimilarityPane::open_page);
    connect(open_, &QPushButton::clicked, this, &SimilarityPane::open_page);
}

int SimilarityPane::current_pair() const
{
    const QModelIndex current = table_->currentIndex();
    return current.isValid() ? order_->mapToSource(current).row() : -1;
}

QUrl SimilarityPane::page() const
{
    // The page names both students: not while the class is graded anonymously.
    const int row = current_pair();
    if (row < 0 || pairs_->pair(row).b < 0 || students_->anonymous())
        return {};
    const SimilarPairRow &p = pairs_->pair(row);
    const QString folder = students_->results_folder();
    QFile csv(folder + QLatin1Char('/') + QLatin1String(similarity_csv_name));
    if (folder.isEmpty() || !csv.open(QIODevice::ReadOnly))
        return {};
    const auto pages = pair_pages(csv.readAll().toStdString());
    const auto found = pages.find(
        {similarity_name(students_->student(p.a)), similarity_name(students_->student(p.b))});
    if (found == pages.end())
        return {};
    const QString path = folder + QLatin1Char('/') + shown(found->second);
    return QFileInfo(path).isFile() ? QUrl::fromLocalFile(path) : QUrl();
}

void SimilarityPane::on_current()
{
    const int row = current_pair();
    open_->setEnabled(!page().isEmpty());
    if (row >= 0)
        emit student_chosen(pairs_->pair(row).a);
}

void SimilarityPane::open_page()
{
    const QUrl url = page();
    if (!url.isEmpty())
        QDesktopServices::openUrl(url);
}
