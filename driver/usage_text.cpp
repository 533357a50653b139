// The help text of --help: everything a user can give the program from
// outside (arguments, variables, side files) and everything it leaves
// behind (the bookkeeping directory, the exit codes). The user guide
// docs/PODRECZNIK.md and the manual page say the same at length.
#include "base/program_version.h"
#include "driver/command_line.h"

namespace qm {
namespace {

constexpr const char* kUsageBody = R"(
Przenosi dane programu księgowego z instalacji roku 2019 do instalacji roku
2020, dla wielu firm naraz: czterostronicowy kreator w oknie tekstowym 80x25
(terminal co najmniej 80x24), potem przebieg zapisywany w oknie postępu.

Użycie:
  qm19-20 [KATALOG_2020] [przełączniki]
  qm19-20 /COFNIJ [KATALOG_2020]
  qm19-20 --help | -h | --version

  KATALOG_2020  katalog instalacji 2020. Bez niego: katalog główny (w Windows
                katalog główny dysku, z którego uruchomiono program). Plik
                ścieżek qm19-20.PTH, jeśli istnieje, ma pierwszeństwo przed
                tym argumentem; strona 1 kreatora mówi wtedy o tym.

Opcje i przełączniki (wielkość liter bez znaczenia, "/" albo "-" na początku):
  -h, --help        ten opis (kod wyjścia 0)
  --version         numer wersji: "qm19-20 X.Y.Z" (kod wyjścia 0)
  ?                 pierwszy argument zawierający "?": krótki opis na ekranie
  /kprspis:NAZWA    nazwa pliku listy firm w obu instalacjach (domyślnie
                    SPISFIRM.DAT, najwyżej 12 znaków)
  /EXC, /LFN        przyjmowane dla zgodności z programem księgowym;
                    przenoszenie danych z nich nie korzysta
  /COFNIJ, -COFNIJ, --undo
                    cofnięcie ostatniego niecofniętego przenoszenia (kolejne
                    cofa poprzednie) w instalacji 2020 z argumentu, a bez
                    niego z qm19-20.PTH, bez kreatora: lista zmian, pytanie
                    Tak/Nie, a po "Tak" oba katalogi wracają do stanu sprzed
                    tamtego przenoszenia
  Inna opcja zaczynająca się od "--" kończy program z kodem 2.

Zmienne środowiska:
  KPRSPIS           nazwa pliku listy firm, gdy nie podano /kprspis:
  KPRCNF, KPRLPT, KPRXY
                    plik konfiguracji, plik drukarek i katalog wymiany programu
                    księgowego; przyjmowane dla zgodności, nieużywane
  qmTEMP, VODERE, TEMP, TMP
                    katalog plików tymczasowych: pierwsza zmienna wskazująca
                    istniejący katalog, a bez takiej katalog bieżący
  QMSOUND           OFF wyłącza dźwięki
  QMKEYS            plik skryptu klawiszy: praca bez terminala, klawisze
                    czytane z pliku (kod wyjścia 3, gdy się skończą)
  QMSCREEN          razem z QMKEYS: plik, do którego trafia ekran przy każdym
                    czekaniu na klawisz
  XDG_CONFIG_HOME   (Linux) katalog ustawień użytkownika, domyślnie ~/.config
  APPDATA           (Windows) katalog ustawień użytkownika

Pliki programu (nazwa jak nazwa programu):
  qm19-20.PTH       ścieżki 2019 i 2020 zapisane na stronie 1
                    (wiersze ZEV_2019= i ZEV_2020=)
  qm19-20.LST       dodatkowe pliki każdej firmy do skopiowania: jedna nazwa
                    w wierszu, STARA>NOWA kopiuje pod nową nazwą
                    Oba pliki są szukane najpierw obok programu, potem w
                    $XDG_CONFIG_HOME/qm19-20 (~/.config/qm19-20), w Windows w
                    %APPDATA%\qm19-20. qm19-20.PTH jest zapisywany obok
                    programu, a gdy tam nie można pisać, w tamtym katalogu.
  kolory.qm         schemat kolorów (11 bajtów), tylko obok programu

W instalacji 2020 program prowadzi katalog _QM1920:
  qm19-20.LCK       blokada: jedna kopia programu na instalację od F5 do końca
  P0001/, P0002/   katalog każdego przebiegu, do jego cofnięcia albo usunięcia:
    PRZEBIEG.QMJ    dziennik przebiegu: każda zmiana zapisana, zanim nastąpi
    KOPIE/          kopie plików sprzed zmian
  ZMIENIONE/        pliki zmienione po przeniesieniu, odłożone przez cofnięcie
  RAPORT-RRRRMMDD-GGMMSS.TXT
                    raport każdego przebiegu, naprawy i cofnięcia (UTF-8):
                    opcje, firmy, wiersze postępu, pytania z odpowiedziami,
                    wynik każdej firmy, podsumowanie; ostatni ekran podaje
                    jego ścieżkę
  Przebieg przerwany (awaria, zabicie procesu, brak prądu) jest naprawiany
  przy następnym uruchomieniu, po potwierdzeniu pytania "Naprawić teraz?".

Kody wyjścia:
  0    koniec pracy albo rezygnacja przed przenoszeniem
  1    koniec pracy, ale firma lub dane globalne nie zostały przeniesione
       albo zostały wycofane z powodu błędu pliku; cofnięcie, po którym pliki
       bez kopii zapasowej zostały, jakie były
  2    nie można zacząć (brak terminala, zły wiersz poleceń, nieznana opcja;
       brak prawa zapisu w _QM1920 przy naprawie albo cofnięciu)
  3    skrypt klawiszy (QMKEYS) się skończył
  4    instalację 2020 obsługuje inna kopia qm19-20
  5    odmowa naprawy lub cofnięcia albo nieczytelny dziennik przebiegu,
       albo nie ma czego cofać
  255  poważny błąd wejścia-wyjścia

Pełny opis: podręcznik PODRECZNIK.md (w systemie: /usr/share/doc/qm19-20),
strona man qm19-20(1), w programie klawisz F1 na każdej stronie kreatora.
)";

}  // namespace

std::string UsageText() {
  return std::string("qm19-20 ") + ProgramVersion() +
         " - przenoszenie danych programu księgowego z roku 2019 na 2020\n" + kUsageBody;
}

}  // namespace qm
