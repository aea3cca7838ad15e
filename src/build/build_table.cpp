#include "build/build_table.h"

const std::array<BuildRecord, 4> BuildTable{{
    {"（Steam）", "0.750", 633794092, 755348504, 2138116},
    {"（非Steam）", "0.750", 633784876, 755343760, 2138116},
    {"（Steam）", "0.751", 532160740, 653572248, 2136068},
    {"（Steam）", "0.752", 533148092, 654602592, 2144260},
}};

ActiveBuildState ActiveBuild;
