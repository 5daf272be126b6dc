#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

namespace sonmill {

// A buffered output file. A write the file system refuses (a full disk, a quota) makes every
// later call return false too, so the encoder's own call fails at once and the run stops
// there rather than encoding on into a file that no longer grows.
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
        else
            fail();
        return m_file != nullptr;
    }

    bool write(const void *data, std::size_t size)
    {
        if (size == 0 || m_failed)
            return !m_failed;
        if (std::fwrite(data, 1, size, m_file) != size)
            fail();
        m_position += size;
        if (m_position > m_size)
            m_size = m_position;
        return !m_failed;
    }

    // What an encoder library call left in its buffer: its byte count, or a negative
    // value for an error, which is passed on as false (as is a failed write).
    bool writeEncoded(const unsigned char *data, int produced)
    {
        return produced >= 0 && write(data, static_cast<std::size_t>(produced));
    }

    // Overwrites bytes already written (headers that are known only at the end).
    void writeAt(std::uint64_t offset, const void *data, std::size_t size)
    {
        if (m_failed)
            return;
        if (std::fseek(m_file, static_cast<long>(offset), SEEK_SET) != 0) {
            fail();
            return;
        }
        m_position = offset;
        write(data, size);
        if (std::fseek(m_file, 0, SEEK_END) != 0)
            fail();
        m_position = m_size;
    }

    std::uint64_t size() const { return m_size; }
    bool failed() const { return m_failed; }
    // The system's error number of the first failure (EIO when it gave none), 0 before one.
    int error() const { return m_error; }

    // Closes the file; false if anything could not be written.
    bool close()
    {
        if (m_file && std::fclose(m_file) != 0)
            fail();
        m_file = nullptr;
        return !m_failed;
    }

private:
    void fail()
    {
        if (!m_failed)
            m_error = errno != 0 ? errno : EIO;
        m_failed = true;
    }

    static constexpr std::size_t kBufferSize = 64 * 1024;
    std::FILE *m_file = nullptr;
    std::uint64_t m_position = 0;
    std::uint64_t m_size = 0;
    bool m_failed = false;
    int m_error = 0;
};

} // namespace sonmill
