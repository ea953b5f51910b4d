#include "app/common/resources.h"

#include "app/common/appstate.h"

#include <algorithm>
#include <array>

namespace common {

namespace {

struct Entry {
    int number;
    const char *german;
    const char *english;
    const char *third = nullptr; // Brazilian Portuguese, where the text has one
};

// Sorted by number. German and English texts of every German number the program uses; the
// third slot takes its own text where one is given, else the English text, except for 9020
// (see kMissingInThirdSlot).
constexpr Entry kTable[] = {
    {1000, "Talvor Orvane", "Talvor Orvane"},
    {1001, "Videodatei laden", "Load video file"},
    {1002,
     "Alle unterstützten Dateien|*.avi;*.mp4;*.mov;*.mkv;*.mpg;*.mpeg;*.wmv;*.frm;*.bmp;*.jpg;*."
     "jpeg|Videodateien (*.avi;*.mp4;*.mov;*.mkv;*.mpg;*.wmv)|*.avi;*.mp4;*.mov;*.mkv;*.mpg;*."
     "mpeg;*.wmv|Rohbilddateien (*.frm)|*.frm|Bildsequenzen (*.bmp;*.jpg)|*.bmp;*.jpg;*.jpeg|"
     "Alle Dateien (*.*)|*.*",
     "All supported files|*.avi;*.mp4;*.mov;*.mkv;*.mpg;*.mpeg;*.wmv;*.frm;*.bmp;*.jpg;*.jpeg|"
     "Video files (*.avi;*.mp4;*.mov;*.mkv;*.mpg;*.wmv)|*.avi;*.mp4;*.mov;*.mkv;*.mpg;*.mpeg;*."
     "wmv|Raw frame files (*.frm)|*.frm|Picture sequences (*.bmp;*.jpg)|*.bmp;*.jpg;*.jpeg|All "
     "files (*.*)|*.*"},
    {1004, "Beim Öffnen dieser Datei ist ein Fehler aufgetreten.",
     "An error occured while opening this file."},
    {1005, "Anzahl Bilder: ", "Number of frames: "},
    {1006, "Bilder pro Sekunde: ", "Frames per second: "},
    {1007, "Dauer: ", "Duration: "},
    {1008, " Sekunden", " seconds"},
    {1009, "Breite: ", "Width: "},
    {1010, "Höhe: ", "Height: "},
    {1011, "Bild: ", "Frame: "},
    {1012, ", Zeit: ", ", Time: "},
    {1013, "Zoom: ", "Zoom: "},
    {1015, " Punkte ", " Points "},
    {1018, "Alle Daten gehen verloren! Möchten Sie fortfahren?",
     "All data will be lost! Do you want to continue?"},
    {1020, "Neues Projekt", "New project"},
    {1021, "Videodatei öffnen", "Open video file"},
    {1022, "Video kalibrieren", "Calibrate video"},
    {1023, "Vergrößert die Zoomstufe um 10%", "Increases zoom level by 10%"},
    {1024, "Verkleinert die Zoomstufe um 10%", "Decreases zoom level by  10%"},
    {1025, "Zoomstufe auf 100% setzen", "Set zoom level to 100%"},
    {1026, "Passt das Video in die Videoansicht ein", "Fits the video into the video view"},
    {1027, "Video zurückspulen", "Rewind video"},
    {1028, "Video vorspulen", "Fast forward video"},
    {1029, "Video abspielen", "Playback video"},
    {1030, "Bitte wählen Sie das Ziel", "Please choose destination"},
    // The spreadsheet export writes Office Open XML workbooks: the filter names .xlsx.
    {1031, "Excel (*.xlsx)|*.xlsx|Alle Dateien (*.*)|*.*",
     "Excel (*.xlsx)|*.xlsx|All files (*.*)|*.*"},
    {1032, "Textdatei (*.txt)|*.txt|Alle Dateien (*.*)|*.*",
     "Text file (*.txt)|*.txt|All files (*.*)|*.*"},
    {1033, "Orbisa-Projekt (*.oxp)|*.oxp|Alle Dateien (*.*)|*.*",
     "Orbisa project (*.oxp)|*.oxp|All files (*.*)|*.*"},
    {1034, "Für den Export als Excel-Tabelle wird ein Tabellenkalkulationsprogramm benötigt.",
     "The export as an Excel table needs a spreadsheet application."},
    {1035, "Bitte verwenden Sie stattdessen den Export als Textdatei.",
     "Please use the export as a text file instead."},
    {1036, "Das Video wurde nicht kalibriert. Bitte kalibrieren Sie zuerst.",
     "The video has not been calibrated. Please calibrate first."},
    {1037, "Projektdatei öffnen", "Open a project file"},
    {1038, "Projektdatei speichern", "Save a project file"},
    {1039, "Die Hilfedatei wurde nicht gefunden. Bitte installieren Sie das Programm neu.",
     "The help file has not been found. Please re-install."},
    {1041, "Diese Software benötigt DirectX 8 oder höher.",
     "This software requires DirectX 8 or higher."},
    {1042,
     "Es wurde nicht gefunden. Die Funktionalität dieser Software ist möglicherweise "
     "eingeschränkt.",
     "It couldn't be found. The functionality of this software might be limited."},
    {1043,
     "Die Pflicht zur Kalibrierung vor dem Tracking kann in den Optionen abgeschaltet werden.",
     "The need for a calibration before tracking can be deactivated in the options."},
    {1044, "Punkt ", "Point "},
    {1045, "Videofrequenz:", "Video frequency:"},
    {1046, "Bilder/Sek.", "frames/sec."},
    {1047, "Camera Information Header (*.cih)|*.cih|Alle Dateien (*.*)|*.*",
     "Camera Information Header (*.cih)|*.cih|All files (*.*)|*.*"},
    {1048, "Beim Öffnen der Datei ist ein Fehler aufgetreten.",
     "An error occurred during file open."},
    {1049, "Diese Datei wurde nicht als gültige CIH-Datei erkannt.",
     "This file could not be recognized as a valid CIH file."},
    {1050, "Diese Datei enthält keine Angabe zur Bildrate.",
     "This file does not contain any framerate information."},
    {1051, "Die zugehörige Videodatei wurde nicht gefunden!",
     "The associated video file could not be found!"},
    {1052, "(Wenn der letzte Marker verloren geht, wird das Tracking immer angehalten)",
     "(When the last marker is lost, the tracking process is always stopped)"},
    {1054, "Möchten Sie vor dem Beenden speichern?", "Do you want to save before you quit?"},
    {1055, "Bitte schließen Sie die geöffnete Excel-Datei, bevor Sie die Daten exportieren!",
     "Please close the open Excel file before exporting the data!"},
    // Texts of this program beyond the original table.
    {1056, "Die Datei konnte nicht geschrieben werden:", "The file could not be written:"},
    {1057, "An dieser Stelle wurde kein verfolgbarer Marker gefunden.",
     "No marker that can be tracked was found at this point."},
    {1058,
     "Dieses Projekt wurde mit einer neueren Version von Orvane gespeichert und kann nicht "
     "geöffnet werden.",
     "This project was saved by a newer version of Orvane and cannot be opened."},
    {1059, "Diese Datei ist kein Orvane-Projekt oder sie ist beschädigt.",
     "This file is not an Orvane project, or it is damaged."},
    {1060, "Das Projekt konnte nicht gespeichert werden:", "The project could not be saved:"},
    {1061,
     "Orvane wurde beim letzten Mal nicht ordnungsgemäß beendet. Möchten Sie die nicht "
     "gespeicherte Arbeit wiederherstellen?",
     "Orvane did not end properly last time. Do you want to restore the work that had not "
     "been saved?"},
    {1062, "Die Marker werden ohne das Video angezeigt.",
     "The markers are shown without the video."},
    {1063, "In Aufnahmegeschwindigkeit abspielen", "Play at recording speed"},
    {1064, "Eine Zahl von 1 bis 100", "A number from 1 to 100"},
    {1065, "Eine ganze Zahl von 0 bis 6", "A whole number from 0 to 6"},
    {1500, "&Datei", "&File"},
    {1501, "Video &laden...", "&Load video..."},
    {1502, "&Beenden", "&Quit"},
    {1503, "&Bearbeiten", "&Edit"},
    {1504, "&Optionen...", "&Options..."},
    {1505, "&Info", "&Info"},
    {1506, "&Hilfe", "&Help"},
    {1507, "I&nformationen über...", "I&nformation about..."},
    {1508, "Videowiedergabe in Schleife", "Loop video playback"},
    {1509, "Kalibrieren", "Calibrate"},
    {1511, "Import", "Import"},
    {1512, "Export", "Export"},
    {1514, "als &Excel-Tabelle...", "as &Excel table..."},
    {1515, "als &Textdatei...", "as &text file..."},
    {1516, "&Pattern-Matching-Einstellungen...", "&Pattern matching settings..."},
    {1517, "&Neu", "&New"},
    {1518, "Lokale Tracking-Einstellungen", "Local tracking settings"},
    {1519, "Alle Pfade anzeigen", "Show all paths"},
    {1520, "Pfad für diesen Marker anzeigen", "Show path for this marker"},
    {1521, "Farbe", "Color"},
    {1522, "Manuell verfolgen", "Track manually"},
    {1523, "&Kopieren", "&Copy"},
    {1524, "Marker löschen", "Delete marker"},
    {1525, "Alle Marker löschen", "Delete all markers"},
    {1526, "Ö&ffnen...", "&Open..."},
    {1527, "&Speichern unter...", "&Save as..."},
    {1528, "&Inhalt", "&Contents"},
    {1529, "Werte ab hier verwerfen", "Discard values from here"},
    {1536, "&CIH-Datei", "&CIH file"},
    {1537, "Neuen Marker setzen", "Set new marker"},
    {1538, "Von &Kamera aufnehmen...", "&Record from camera...", "&Gravar da câmera..."},
    {1539, "Aufnahme von Kamera", "Record from camera", "Gravar da câmera"},
    {1540, "&Aufnehmen", "&Record", "&Gravar"},
    {1541, "&Stopp", "&Stop", "&Parar"},
    {1542, "Bilder: %1   Verworfen: %2   Zeit: %3 s", "Frames: %1   Dropped: %2   Time: %3 s",
     "Imagens: %1   Perdidas: %2   Tempo: %3 s"},
    {1543, "Es wurde keine Kamera gefunden.", "No camera was found.",
     "Nenhuma câmera foi encontrada."},
    {1544, "Die Kamera liefert keine Bilder mehr. Die bisherige Aufnahme bleibt erhalten.",
     "The camera stopped delivering pictures. The recording so far is kept.",
     "A câmera parou de enviar imagens. A gravação feita até agora foi mantida."},
    {1545, "AVI-Videos (*.avi)|*.avi", "AVI videos (*.avi)|*.avi", "Vídeos AVI (*.avi)|*.avi"},
    {1546, "Die Aufnahme konnte nicht gestartet werden.", "The recording could not be started.",
     "Não foi possível iniciar a gravação."},
    {1547, "Live-Bild", "Live picture", "Imagem ao vivo"},
    // The Analysis menu and the export switch of the velocity and acceleration columns.
    {1548, "&Analyse", "&Analysis", "&Análise"},
    {1549, "&Kinematik...", "&Kinematics...", "&Cinemática..."},
    {1550, "Mit &Geschwindigkeiten und Beschleunigungen", "With &velocities and accelerations",
     "Com &velocidades e acelerações"},
    {1600, "Optionen", "Options"},
    {1601, " Sprache ", " Language "},
    {1602, "Deutsch", "Deutsch"},
    {1603, "English", "English"},
    // The third language's entry in the Options dialog's language list.
    {1604, "Português", "Português"},
    {1605, " Standard-Videomodus ", " Default video mode "},
    {1606, "Vollbilder", "Full frames"},
    {1607, "Halbbilder", "Fields"},
    {1608, "JVC 9x00 mit 100/120 Hz", "JVC 9x00 w/ 100/120 Hz"},
    {1609, "JVC 9x00 mit 100/120 Hz, vertikal getrennt",
     "JVC 9x00 w/ 100/120 Hz, vertically separated"},
    {1610, "JVC 9x00 mit 200/240 Hz", "JVC 9x00 w/ 200/240 Hz"},
    {1611, "OK", "OK"},
    {1612, "Abbrechen", "Cancel"},
    {1613, "Bitte starten Sie das Programm neu, damit die Sprachauswahl wirksam wird.",
     "Please restart to apply your language selection."},
    {1614, "Spiegeln", "Mirror"},
    {1615, "Um 90 Grad drehen", "Rotate by 90 degrees"},
    {1616, "Um 180 Grad drehen", "Rotate by 180 degrees"},
    {1617, "Um 270 Grad drehen", "Rotate by 270 degrees"},
    {1618, " Sonstiges ", " Miscellaneous "},
    {1619, "Kalibrierung vor dem Tracking erforderlich", "Calibration required before tracking"},
    {1620, "Excel nach dem Export geöffnet lassen", "Leave Excel open after the export"},
    {1621, "Automatisch verfolgte Werte nach dem Verschieben eines Markers verwerfen",
     "Discard automatically tracked values after moving a marker"},
    {1622, "Markerpfade automatisch anzeigen", "Show marker paths automatically"},
    {1623, "Automatisch", "Auto"},
    {1624, "Tracking anhalten, wenn ein Marker verloren geht",
     "Stop tracking when a marker is lost"},
    {1625, "Beim Beenden fragen, ob gespeichert werden soll", "Ask to save when quitting"},
    {1626, "(gilt nur für bereits verfolgte Punkte)", "(applies to already tracked points only)"},
    {1627, "Bitte geben Sie eine gültige Zahl ein", "Please provide a valid number"},
    {1628, " Tracking-Modus ", " Tracking mode "},
    {1629, "Pattern Matching", "Pattern Matching"},
    {1630, "Markertracking", "Markertracking"},
    {1631, "Allgemein", "Misc"},
    {1632, "Markerspur", "Marker trace"},
    {1633, " Markerspur ", " Marker trace "},
    {1634, "Art der Markerspur:", "Type of marker trace:"},
    {1635, "Größe:", "Size:"},
    {1636, "Linienbreite:", "Line width:"},
    {1637, "Objekt mit Füllfarbe füllen", "fill object with fill color"},
    {1638, "Farbe:", "Color:"},
    {1639, "Füllfarbe:", "Fill color:"},
    {1640, "Linien", "Lines"},
    {1641, "Fadenkreuze", "Crosshairs"},
    {1642, "Rechtecke", "Rectangles"},
    {1643, "Kreise", "Circles"},
    {1644, " Nachkommastellen ", " Decimal digits "},
    {1645, "Nachkommastellen der Zeitangaben:", "Decimals of time values:"},
    {1700, "Kalibrierstrecke", "Calibration distance"},
    {1701, " Strecke für diese Kalibrierung: ", " Distance for this calibration: "},
    {1702, "Kalibrierstrecke:", "Calibration distance:"},
    {1703, "Seitenverhältnis:", "Aspect ratio:"},
    {1704, "Kalibrierung erfolgreich.", "Calibration successful."},
    {1705, "Kalibrierung fehlgeschlagen! Bitte versuchen Sie es erneut.",
     "Calibration failed! Please try again."},
    {1800, "Information", "Information"},
    // The Kinematics window. 1909 to 1912 take the unit for %1.
    {1900, "Kinematik", "Kinematics", "Cinemática"},
    {1901, " Marker ", " Markers ", " Marcadores "},
    {1902, " Filter ", " Filter ", " Filtro "},
    {1903, "Automatisch (Residuenanalyse)", "Automatic (residual analysis)",
     "Automático (análise de resíduos)"},
    {1904, "Feste Grenzfrequenz", "Fixed cutoff", "Frequência de corte fixa"},
    {1905, "Aus", "Off", "Desligado"},
    {1906, " Gewählte Grenzfrequenzen ", " Chosen cutoffs ", " Frequências de corte escolhidas "},
    {1907, "&Aktualisieren", "&Refresh", "&Atualizar"},
    {1908, "Zeit (s)", "Time (s)", "Tempo (s)"},
    {1909, "x (%1)", "x (%1)", "x (%1)"},
    {1910, "y (%1)", "y (%1)", "y (%1)"},
    {1911, "Geschwindigkeit (%1/s)", "Speed (%1/s)", "Velocidade (%1/s)"},
    {1912, "Beschleunigung (%1/s²)", "Acceleration (%1/s²)", "Aceleração (%1/s²)"},
    {1913, "Als &PNG speichern...", "Save as &PNG...", "Salvar como &PNG..."},
    {1914, "Als &SVG speichern...", "Save as &SVG...", "Salvar como &SVG..."},
    {1915, "PNG-Bild (*.png)|*.png|Alle Dateien (*.*)|*.*",
     "PNG image (*.png)|*.png|All files (*.*)|*.*",
     "Imagem PNG (*.png)|*.png|Todos os arquivos (*.*)|*.*"},
    {1916, "SVG-Grafik (*.svg)|*.svg|Alle Dateien (*.*)|*.*",
     "SVG graphic (*.svg)|*.svg|All files (*.*)|*.*",
     "Gráfico SVG (*.svg)|*.svg|Todos os arquivos (*.*)|*.*"},
    {1917, "Es ist kein Video geöffnet.", "No video is open.", "Nenhum vídeo está aberto."},
    {1918, "Es sind keine Marker gesetzt.", "No markers have been set.",
     "Nenhum marcador foi definido."},
    {1919, "Das Video hat keine Bildrate, daher gibt es keine Zeiten.",
     "The video has no frame rate, so there are no times.",
     "O vídeo não tem taxa de quadros, portanto não há tempos."},
    {1920, "Kein Marker ist ausgewählt.", "No marker is chosen.",
     "Nenhum marcador está selecionado."},
    {1921, "automatisch", "automatic", "automático"},
    {1922, "fest", "fixed", "fixa"},
    {1923, "aus", "off", "desligado"},
    {1924, "zu wenige Daten", "not enough data", "dados insuficientes"},
    {1925, "keine Punkte", "no points", "sem pontos"},
    {1926, "Export", "Export", "Exportar"},
    {1927, "Grenzfrequenz ungültig", "invalid cutoff", "frequência de corte inválida"},
    {1928, "keine Daten", "no data", "sem dados"},
    {1929, "Ein Klick in ein Diagramm springt zu dieser Zeit im Video.",
     "A click on a plot jumps to that time in the video.",
     "Um clique em um gráfico salta para esse instante do vídeo."},
};

static_assert(std::is_sorted(std::begin(kTable), std::end(kTable),
                             [](const Entry &a, const Entry &b) { return a.number < b.number; }),
              "the table is searched by bisection");

// The third slot was never given the New button's tool tip; the button keeps its number.
constexpr int kMissingInThirdSlot = 9020;

const Entry *find(int germanNumber) {
    const auto *it = std::lower_bound(std::begin(kTable), std::end(kTable), germanNumber,
                                      [](const Entry &e, int n) { return e.number < n; });
    return it != std::end(kTable) && it->number == germanNumber ? it : nullptr;
}

} // namespace

std::optional<QString> resourceString(int number) {
    if (number >= 1000 && number <= 1999) {
        if (const Entry *e = find(number))
            return QString::fromUtf8(e->german);
    } else if (number >= 5000 && number <= 5999) {
        if (const Entry *e = find(number - kEnglishBase))
            return QString::fromUtf8(e->english);
    } else if (number >= 9000 && number <= 9999 && number != kMissingInThirdSlot) {
        if (const Entry *e = find(number - kThirdBase))
            return QString::fromUtf8(e->third ? e->third : e->english);
    }
    return std::nullopt;
}

std::optional<QString> lookupRes(const AppState &state, int germanNumber) {
    if (germanNumber < 1000 || germanNumber > 1999)
        return std::nullopt;
    return resourceString(germanNumber + state.TextBase);
}

std::optional<QString> lookupRes(int germanNumber) {
    return lookupRes(appState(), germanNumber);
}

QString res(const AppState &state, int germanNumber) {
    return lookupRes(state, germanNumber).value_or(QString());
}

QString res(int germanNumber) {
    return res(appState(), germanNumber);
}

QString productTitle(const AppState &state) {
    return res(state, 1000);
}

QString productTitle() {
    return productTitle(appState());
}

} // namespace common
