#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace sonmill {

// A buffered output file that remembers whether any write failed, so encoders check once
// at the end instead of after every call.
class FileWriter
{
public:
    FileWriter() = default;
    ~FileWriter()
    {
        if (m_file)
            std::fclose(m_file);
    }
    FileWriter(const FileWriter &) = delete;
    FileWriter &operator=(const FileWriter &) = delete;

    bool open(const std::string &path)
    {
        m_file = std::fopen(path.c_str(), "wb");
        if (m_file)
            std::setvbuf(m_file, nullptr, _IOFBF, kBufferSize);
        return m_file != nullptr;
    }

    void write(const void *data, std::size_t size)
    {
        if (size == 0)
            return;
        if (std::fwrite(data, 1, size, m_file) != size)
            m_failed = true;
        m_position += size;
        if (m_position > m_size)
            m_size = m_position;
    }

    // What an encoder library call left in its buffer: its byte count, or a negative
    // value for an error, which is passed on as false.
    bool writeEncoded(const unsigned char *data, int produced)
    {
        if (produced < 0)
            return false;
        write(data, static_cast<std::size_t>(produced));
        return true;
    }

    // Overwrites bytes already written (headers that are known only at the end).
    void writeAt(std::uint64_t offset, const void *data, std::size_t size)
    {
        if (std::fseek(m_file, static_cast<long>(offset), SEEK_SET) != 0) {
            m_failed = true;
            return;
        }
        m_position = offset;
        write(data, size);
        if (std::fseek(m_file, 0, SEEK_END) != 0)
            m_failed = true;
        m_position = m_size;
    }

    std::uint64_t size() const { return m_size; }

    // Closes the file; false if anything could not be written.
    bool close()
    {
        if (m_file && std::fclose(m_file) != 0)
            m_failed = true;
        m_file = nullptr;
        return !m_failed;
    }

private:
    static constexpr std::size_t kBufferSize = 64 * 1024;
    std::FILE *m_file = nullptr;
    std::uint64_t m_position = 0;
    std::uint64_t m_size = 0;
    bool m_failed = false;
};

} // namespace sonmill
