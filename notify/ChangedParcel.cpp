#include "notify/ChangedParcel.h"

#include "store/Cp1251.h"

ChangedParcel ChangedParcel::fromStored(const std::string& track, const std::string& shop, const std::string& title,
                                        const std::string& status)
{
    return {fromCp1251(track), fromCp1251(shop), fromCp1251(title), fromCp1251(status)};
}
