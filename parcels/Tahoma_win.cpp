#include "parcels/Tahoma.h"

namespace tahoma {

void registerFonts()
{
    // Tahoma is one of Windows' own fonts.
}

} // namespace tahoma
