// The destination history file: loaded, written and loaded again, which must give the same
// folders.
#include "fuzzinput.h"
#include "profiles/destinationhistory.h"

#include <cstddef>
#include <cstdint>

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = FuzzInput::write(u"destination.ini"_s, data, size);
    DestinationHistory history;
    if (!history.load(path))
        return 0;
    // Saving syncs the file to the disk, which is slow: one input in sixteen.
    if (size == 0 || data[size - 1] % 16 != 0)
        return 0;
    const QString again = FuzzInput::folder() + u"/again.ini"_s;
    if (!history.save(again))
        return 0;
    DestinationHistory reread;
    if (!reread.load(again))
        return 0;
    (void)reread.entries();
    return 0;
}
