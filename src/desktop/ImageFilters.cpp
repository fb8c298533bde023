#include "ImageFilters.h"

namespace iap {

QString imageFilters(const QString& own)
{
    return own + QStringLiteral(";;Intel HEX (*.hex *.ihex);;Motorola S-record (*.srec *.s19 *.s28 *.s37 *.mot);;ELF (*.elf *.axf);;All files (*)");
}

}  // namespace iap
