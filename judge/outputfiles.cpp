#include "judge/outputfiles.h"

#include "judge/platform.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

bool is_regular(const std::string &path)
{
    std::error_code ec;
    return fs::is_regular_file(fs::u8path(path), ec);
}

// Writes `text` as the whole content of `path`; true only when every byte reached the file.
bool write_file(const std::string &path, const std::string &text)
{
    std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return !out.fail();
}

bool same_file(const std::string &a, const std::string &b)
{
    std::error_code ec;
    return fs::equivalent(fs::u8path(a), fs::u8path(b), ec);
}

} // namespace

bool is_readable_file(const std::string &path)
{
    const std::string name = file_path(path);
    return is_regular(name) && std::ifstream(fs::u8path(name)).is_open();
}

bool read_first_line(const std::string &path, std::string &line)
{
    const std::string name = file_path(path);
    if (!is_regular(name))
        return false;
    std::ifstream in(fs::u8path(name), std::ios::binary);
    if (!in)
        return false;
    std::string content;
    std::getline(in, content, '\n');
    // getline drops the line feed; put it back so that first_line sees a CR LF pair as one.
    if (!in.eof())
        content += '\n';
    line = first_line(content);
    return true;
}

void remove_stale_outputs(const CaseFiles &files)
{
    for (const std::string *path : {&files.workdir_output, &files.dir_output}) {
        const std::string name = file_path(*path);
        std::error_code ec;
        if (is_regular(name))
            fs::remove(fs::u8path(name), ec);
    }
}

std::string take_student_answer(const CaseFiles &files, std::string student_output)
{
    std::string text;
    const std::string workdir_file = file_path(files.workdir_output);
    const std::string dir_file = file_path(files.dir_output);
    if (read_first_line(workdir_file, text)) {
        const bool one_file = same_file(workdir_file, dir_file);
        // Only a line that safely reached the directory file lets the original go.
        std::error_code ec;
        if (write_file(dir_file, text) && !one_file)
            fs::remove(fs::u8path(workdir_file), ec);
    }
    if (text.empty())
        read_first_line(dir_file, text);
    if (text.empty())
        text = std::move(student_output);
    return text;
}
