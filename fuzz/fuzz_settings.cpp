// The settings and profile files (INI) as the program reads them: a key's value in either
// buffer size, the section list, and one reading of the whole file; then a value written
// into it.
#include "fuzzinput.h"
#include "profiles/privateprofile.h"

#include <cstddef>
#include <cstdint>

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = FuzzInput::write(u"settings.ini"_s, data, size);
    const QStringList sections = PrivateProfile::sectionNames(path);
    const PrivateProfile::Document document = PrivateProfile::Document::load(path);
    const QString first = sections.value(0, u"Settings"_s);
    PrivateProfile::readString(path, first, u"Quality"_s, u"x"_s);
    PrivateProfile::readString(path, first, u"Path"_s, {}, PrivateProfile::kPathBuffer);
    for (const QString &section : sections)
        document.value(section, u"Simultaneous"_s, u"1"_s);
    // Writing syncs the file to the disk, which is slow: one input in sixteen.
    if (size > 0 && size < 4096 && data[size - 1] % 16 == 0)
        PrivateProfile::writeString(path, first, u"Fuzz"_s, u"value"_s);
    return 0;
}
