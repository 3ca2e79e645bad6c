// Which models sections of an INF a given Windows reads, and the hardware IDs listed there.
#ifndef DRIVERSETUP_INF_INF_MODELS_H
#define DRIVERSETUP_INF_INF_MODELS_H

#include <string>
#include <vector>

#include "inf/inf_document.h"

enum InfArch { kInfX86, kInfAmd64 };

// One [Manufacturer] entry as `arch` Windows reads it.
struct ManufacturerModels {
    std::string entry;   // the entry's key, or its models name when it has none
    std::string models;  // the models section name, %strings% expanded
    // The models sections that apply, decorated where the INF decorates them for `arch`;
    // empty when `arch` needs a decoration that the entry lacks.
    std::vector<std::string> sections;
};

// The decoration that `arch` Windows looks for ("NTx86", "NTamd64").
const char* InfDecorationFor(InfArch arch);

// The [Manufacturer] entries in file order; none when the section is missing or empty.
// 64-bit Windows reads only NTamd64 decorations; 32-bit Windows NTx86 or NT ones, else the
// undecorated section.
std::vector<ManufacturerModels> ModelsForArch(const InfDocument& document, InfArch arch);

// The hardware and compatible IDs of every device line in the models sections `arch` reads,
// in file order, each once (case ignored). Returns false, with the reason in *error, when
// `arch` finds no models section or no ID in them.
bool HardwareIdsForArch(const InfDocument& document, InfArch arch, std::vector<std::string>* ids,
                        std::string* error);

#endif
