// Which models sections of an INF a given Windows reads, and the hardware IDs listed there.
#ifndef DRIVERSETUP_INF_INF_MODELS_H
#define DRIVERSETUP_INF_INF_MODELS_H

#include <string>
#include <vector>

#include "inf/inf_document.h"
#include "win/windows_kinds.h"

// One [Manufacturer] entry as `kind` Windows reads it.
struct ManufacturerModels {
    std::string entry;   // the entry's key, or its models name when it has none
    std::string models;  // the models section name, %strings% expanded
    // The models sections that apply, decorated where the INF decorates them for `kind`;
    // empty when `kind` needs a decoration that the entry lacks.
    std::vector<std::string> sections;
};

// The [Manufacturer] entries in file order; none when the section is missing or empty.
// 64-bit Windows reads only NTamd64 decorations; 32-bit Windows NTx86 or NT ones, else the
// undecorated section.
std::vector<ManufacturerModels> ModelsForArch(const InfDocument& document, WindowsKind kind);

// Every models section that [Manufacturer] names, undecorated and with each of its
// decorations, that the INF has, in file order.
std::vector<std::string> EveryModelsSection(const InfDocument& document);

// The one reader of hardware IDs: the hardware and compatible IDs of every device line in the
// named sections, in that order, %strings% expanded, each once (case ignored, first spelling
// kept). Sections that the INF lacks add nothing.
std::vector<std::string> HardwareIdsIn(const InfDocument& document,
                                       const std::vector<std::string>& sections);

// The hardware and compatible IDs of every device line in the models sections `kind` reads,
// in file order, each once (case ignored). Returns false, with the reason in *error, when
// `kind` finds no models section or no ID in them.
bool HardwareIdsForArch(const InfDocument& document, WindowsKind kind,
                        std::vector<std::string>* ids, std::string* error);

#endif
