#pragma once

// The probe worker's line formats, shared by sonmill and the programs that ask it. Qt-free
// and header-only: both sides include it.
//
//   sonmill qzv -probeworker "<scratch wav>"
//
// reads one request a line on its standard input: a source path, with a backslash written
// as "\\" and a line break as "\n", so any path fits on one line. For each it writes exactly
// the text "sonmill qzv -y -i <source> -t 0.001 <scratch wav>" writes, then one line
// "Probe answered: <exit status that run would have had>". It ends at the end of its input.
// The scratch file is overwritten by every request and removed at the end. After an answer
// with the status kEndsAfterStatus (a probe that stalled, whose decoding threads may never
// return) the worker ends without beginning the requests it has been sent since.

#include <cstddef>
#include <string>
#include <string_view>

namespace probeworker {

inline constexpr std::string_view kOption = "-probeworker";
// Begins the line that ends each answer. A probe's own text holds only fixed words and never
// this one, so it cannot be taken for the end of an answer.
inline constexpr std::string_view kAnswerEnd = "Probe answered: ";

inline constexpr int kEndsAfterStatus = 10;

inline std::string encodeRequest(std::string_view path)
{
    std::string line;
    line.reserve(path.size() + 1);
    for (const char c : path) {
        if (c == '\\')
            line += "\\\\";
        else if (c == '\n')
            line += "\\n";
        else
            line += c;
    }
    line += '\n';
    return line;
}

// The path of one request line (without its line break).
inline std::string decodeRequest(std::string_view line)
{
    std::string path;
    path.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            ++i;
            path += line[i] == 'n' ? '\n' : line[i];
        } else {
            path += line[i];
        }
    }
    return path;
}

} // namespace probeworker
