// The texts of the pages' check and radio groups, in the order of their
// boxes (bit n of an option word is box n + 1), as readable UTF-8: the
// pages show them and the run's report names the options by them.
#pragma once
#include <span>
#include <string>
#include <vector>

namespace qm {

inline constexpr const char* kGlobalItemTexts[] = {
    "Globalnę bazę adresów",
    "---",
    "Bazę stałych F1..F10",
    "Dane BIURA do wystawienia rachunków",
    "Dane konfiguracji DLL z ZEV_QM.INI",
    "Stałe podatkowe na 2019 rok",
    "Ustawienia składników wynagrodzeń",
    "Ustawienia kolorów",
    "Ustawienia zev_2019.ini -> zev_2020.ini",
    "Plik \"OPERATOR.REK\"",
    "Plik \"ZUS_PEL.INI\",\"UMOWY.INI\"",
};
inline constexpr const char* kCompanyItemTexts[] = {
    "dane tekstowe firmy",
    "dane pracowników, właścicieli *)",
    "dane rodzin ww                *)",
    "dane do PIT-D  **)",
    "bazę adresów lokalnych",
    "bazę automatów sprzedaży",
    "bazę automatów zakupów",
    "bazę stalych F1..F10, Notatnik",
    "baze przekazów pieniężnych",
    "ustawienia składnikow wynagrodzeń",
    "Dane ZUS-PEL ZUS_PEL.INI",
    "środki trwałe umożone jednorazowo",
    "ustawienia danych na przelewach",
    "bazę dowodów wewnętrznych",
    "bazę wystawionych odsetek",
    "listę pojazdów na cele VAT",
};
inline constexpr const char* kStaffModeTexts[] = {"wszystkich", "zatrudnionych na 31.12.2019",
                                                  "pytaj sie o każdego"};
inline constexpr const char* kPid5ModeTexts[] = {"wszystkich", "pytaj sie o każdego"};
inline constexpr const char* kEntered2020Texts[] = {"dokumenty księgowe", "wynagrodzenia pracowników",
                                                    "umowy zlecenia", "noty księgowe", "Deklaracje DRA"};
inline constexpr const char* kAddOnTexts[] = {"ST 310/320 \"Ferro/qm\"", "KM 310 \"Ferro\"", "KM 320 \"qm\""};
inline constexpr const char* kStartItemTexts[] = {"Dane Globalne z", "Dane pózniej wskazanych firm"};

// The texts in CP852, for a group.
std::vector<std::string> PlItems(std::span<const char* const> texts);

}  // namespace qm
