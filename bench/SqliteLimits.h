#pragma once

#include <QString>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// The engine reached directly through its C API, for the limits, and the
// cells and survey the program's figures and their limits share.
namespace BenchLimits {

// The survey whose results are shown, and whose answers Submit adds to.
inline constexpr int kSurvey = 50;
// The cell a full Submit stores.
inline constexpr int kSubmitRow = 15;
inline constexpr int kSubmitCol = 15;
// Choosing a cell switches between two columns of one row.
inline constexpr int kCellRow = 20;
inline constexpr int kCellCols[2] = {7, 8};

class Db
{
public:
    explicit Db(const QString& path);
    ~Db();
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;
    operator sqlite3*() const { return m_db; }
    void exec(const char* sql);
    sqlite3_stmt* prepare(const char* sql);

private:
    sqlite3* m_db = nullptr;
};

// The first column of every row of a statement, as text.
std::vector<std::string> Column(const QString& path, const char* sql);

// The questions of a cell (id, text) as the answering window's statement
// gives them, over an open file.
std::vector<std::pair<int, std::string>> CellQuestions(Db& db, int row, int col);

} // namespace BenchLimits
