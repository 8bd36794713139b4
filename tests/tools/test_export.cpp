// The spreadsheet export against a real SQLite file and PostgreSQL server,
// each workbook read back with openpyxl and compared cell by cell.
#include <QDateTime>

#include "tools/case_export.h"
#include "tools/case_selection.h"
#include "tools/chosen_cases.h"
#include "tools/column_width.h"
#include "tools/cell_value.h"
#include "tools/varie_fixture.h"
#include "tools/xlsx_reader.h"

namespace crv::test {
namespace {

using tools::Esito;
using Names = std::vector<std::string>;

class ExportTest : public VarieTest {
protected:
    // The counters a filter chooses, in the order the utilities visit them.
    std::vector<qint64> chosen(const tools::FiltroPratiche& boxes)
    {
        const auto read = tools::leggiFiltro(boxes, it);
        EXPECT_EQ(read.errore, "");
        tools::PraticheScelte cases(db(), tools::selezione(db(), read.filtro), {}, false);
        std::vector<qint64> out;
        cases.perOgni([&](const tools::PraticaLetta& p) {
            out.push_back(p.contatore);
            return true;
        });
        return out;
    }

    tools::RisultatoVarie esporta(const Names& campi, const tools::FiltroPratiche& boxes = {},
                                  const tools::Avanzamento& progress = {})
    {
        return tools::esportaPratiche(db(), boxes, campi, out, it, progress);
    }

    std::filesystem::path out = suite.paths().root / "casi.xlsx";
};

TEST_P(ExportTest, FiltersEachAloneAndTogetherWithBoundValues)
{
    auto add = [&](const char* mandato, QVariant affido, QVariant scadenza, QVariant lotto) {
        return addCase({{"tipo mandato", QString::fromUtf8(mandato)}, {"data affido", affido},
                        {"scadenza mandato", scadenza}, {"lottoimportazione", lotto}});
    };
    const qint64 c1 = add("CRV", QDate(2024, 1, 31), QDate(2024, 3, 1), 1);
    const qint64 c2 = add("CRV", QDate(2024, 2, 1), QDate(2024, 2, 29), 2);
    const qint64 c3 = add("O'K", QDate(2024, 2, 15), QDate(2024, 3, 31), 2);
    const qint64 c4 = add("DEZ", null(), null(), QVariant(QMetaType(QMetaType::Int)));
    // Stored with a time of day (SQLite keeps it, PostgreSQL's date column drops it).
    const qint64 c5 = add("ZZ", QDate(2024, 2, 1), QDateTime(QDate(2024, 2, 29), QTime(10, 0)), 3);
    using V = std::vector<qint64>;

    EXPECT_EQ(chosen({}), (V{c1, c2, c3, c4, c5}));
    EXPECT_EQ(chosen({.mandato = "CRV"}), (V{c1, c2}));
    EXPECT_EQ(chosen({.mandato = "O'K"}), V{c3});
    EXPECT_EQ(chosen({.mandato = "x' OR '1'='1"}), V{});
    EXPECT_EQ(chosen({.affido = "01/02/2024"}), (V{c2, c3, c5}));  // from the bound on
    EXPECT_EQ(chosen({.scadenza = "29/02/2024"}), (V{c2, c5}));    // up to the bound, the whole day
    EXPECT_EQ(chosen({.scadenza = "1/3/24"}), (V{c1, c2, c5}));
    EXPECT_EQ(chosen({.lotto = " 2 "}), (V{c2, c3}));
    EXPECT_EQ(chosen({.mandato = "CRV", .affido = "01/02/2024", .scadenza = "01/03/2024", .lotto = "2"}), V{c2});
    // A text that is not a date adds no condition.
    EXPECT_EQ(chosen({.affido = "31/02/2024", .scadenza = "domani"}), (V{c1, c2, c3, c4, c5}));

    const auto bad = esporta({"posizione"}, {.lotto = "2a"});
    EXPECT_EQ(bad.esito, Esito::FiltroNonValido);
    EXPECT_EQ(bad.messaggi, Names{"Lotto Imp \"2a\" non valido: serve un numero intero"});
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_P(ExportTest, CellsTypesNotesAndLayoutAsASpreadsheetReadsThem)
{
    const qint64 c1 = addCase({{"posizione", "00184"}, {"Ragione sociale", "  ROSSI MARIO  "},
                               {"data affido", QDate(2024, 3, 5)}, {"importo rata", QString("1234.56")},
                               {"rate arretrate", 3}, {"memo", "riga 1\r\nriga 2"}});
    addCase({{"posizione", "P2"}, {"importo rata", QString("-0.5")}});
    addCase({{"posizione", "P3"}});
    addCase({{"posizione", "P4"}});
    addCase({{"posizione", "P5"}, {"memo", "codice _x0041_ e _x00_"}});
    addCase({{"posizione", "P6"}});
    addNote("P2", "prima nota");
    addNote("P6", "  nota con spazi  ");
    addNote("P2", "seconda nota");
    addNote("P3", null());
    addNote("P4", "");
    addNote("ALTRA", "di nessuna pratica");

    const Names campi{"posizione", "RAGIONE SOCIALE", "data affido", "importo rata", "rate arretrate", "memo", "Cap",
                      "note comuni"};
    const auto r = esporta(campi);
    ASSERT_EQ(r.esito, Esito::Terminata) << r.messaggi.front();
    EXPECT_EQ(r.pratiche, 6);
    ASSERT_EQ(r.messaggi.size(), 1u);
    EXPECT_TRUE(r.messaggi[0].starts_with("Elaborazione terminata\nPratiche esportate: 6 in ")) << r.messaggi[0];

    const XlsxSheetRead sheet = readXlsx(out);
    ASSERT_EQ(sheet.rows.size(), 7u);
    for (int col = 1; col <= 8; ++col) {
        EXPECT_EQ(sheet.at(1, col).type, "s");
        EXPECT_EQ(sheet.at(1, col).text(), campi[static_cast<std::size_t>(col - 1)]);
        EXPECT_TRUE(sheet.at(1, col).bold);
    }
    EXPECT_EQ(sheet.at(2, 1).type, "s");
    EXPECT_EQ(sheet.at(2, 1).text(), "00184");
    EXPECT_EQ(sheet.at(2, 2).text(), "ROSSI MARIO");
    EXPECT_EQ(sheet.at(2, 3).type, "d");
    EXPECT_EQ(sheet.at(2, 3).text(), "2024-03-05T00:00:00");
    EXPECT_EQ(sheet.at(2, 3).format, "dd/mm/yyyy");
    EXPECT_EQ(sheet.at(2, 4).type, "n");
    EXPECT_DOUBLE_EQ(sheet.at(2, 4).value.toDouble(), 1234.56);
    EXPECT_EQ(sheet.at(2, 4).format, "#,##0.00##");
    EXPECT_EQ(sheet.at(2, 5).type, "n");
    EXPECT_EQ(sheet.at(2, 5).value.toDouble(), 3.0);
    EXPECT_EQ(sheet.at(2, 5).format, "General");
    EXPECT_EQ(sheet.at(2, 6).text(), "riga 1\r\nriga 2");
    EXPECT_EQ(sheet.at(2, 7).type, "empty");  // Null
    EXPECT_EQ(sheet.at(2, 8).type, "empty");  // no common note
    EXPECT_DOUBLE_EQ(sheet.at(3, 4).value.toDouble(), -0.5);
    EXPECT_EQ(sheet.at(3, 8).text(), "prima nota");  // the first of two rows
    EXPECT_EQ(sheet.at(4, 8).type, "empty");          // a Null note
    EXPECT_EQ(sheet.at(5, 8).type, "empty");          // an empty note
    EXPECT_EQ(sheet.at(6, 1).text(), "P5");
    EXPECT_EQ(sheet.at(6, 6).text(), "codice _x0041_ e _x00_");  // not read as an escaped "A"
    EXPECT_EQ(sheet.at(7, 8).text(), "  nota con spazi  ");  // a note keeps its blanks, fields lose theirs
    EXPECT_EQ(sheet.at(2, 1).text(), field(c1, "posizione").toString().toStdString());

    EXPECT_EQ(sheet.freeze, "A2");
    ASSERT_EQ(sheet.widths.size(), 8u);
    // Widths follow the widest text of each column, the bold heading included.
    EXPECT_NEAR(sheet.widths.at("A"), tools::columnWidthForPixels(tools::textPixels("posizione", true)), 1.0);
    EXPECT_NEAR(sheet.widths.at("B"), tools::columnWidthForPixels(tools::textPixels("RAGIONE SOCIALE", true)), 1.0);
    EXPECT_GT(sheet.widths.at("H"), sheet.widths.at("G"));
}

TEST_P(ExportTest, LongTextsAreCutAndCounted)
{
    addCase({{"posizione", "LUNGA"}, {"memo", QString(40000, QChar('x'))}});
    addCase({{"posizione", "CORTA"}, {"memo", "breve"}});
    const auto r = esporta({"posizione", "memo"});
    ASSERT_EQ(r.esito, Esito::Terminata);
    EXPECT_EQ(r.celleTagliate, 1);
    EXPECT_NE(r.messaggi[0].find("segnati con \"[testo tagliato]\": 1 cella"), std::string::npos) << r.messaggi[0];
    const XlsxSheetRead sheet = readXlsx(out);
    const QString memo = sheet.at(2, 2).value.toString();
    EXPECT_EQ(memo.size(), 32767);
    EXPECT_TRUE(memo.endsWith(QStringLiteral(" [testo tagliato]")));
    EXPECT_EQ(sheet.at(3, 2).text(), "breve");
    EXPECT_NEAR(sheet.widths.at("B"), tools::kMaxColumnWidth, 1.0);
}

TEST_P(ExportTest, LongTextsHoldingEscapeLikeSequencesAreCutNotRefused)
{
    // Each "_x0041_" is stored with its underscore escaped, six characters
    // more: the first text fits a cell as it is read, but not as it is stored.
    const QString escapes = QStringLiteral("_x0041_").repeated(4680);
    addCase({{"posizione", "A"}, {"memo", escapes}});
    addCase({{"posizione", "B"}, {"memo", QStringLiteral("a_x0041_b").repeated(4000)}});
    const auto r = esporta({"posizione", "memo"});
    ASSERT_EQ(r.esito, Esito::Terminata) << r.messaggi.front();
    EXPECT_EQ(r.celleTagliate, 2);
    const XlsxSheetRead sheet = readXlsx(out);
    for (const int row : {2, 3}) {
        const QString memo = sheet.at(row, 2).value.toString();
        EXPECT_TRUE(memo.endsWith(QStringLiteral(" [testo tagliato]"))) << row;
        EXPECT_LE(memo.size(), 32767) << row;
        EXPECT_GT(memo.size(), 32767 / 2) << row;
    }
    EXPECT_TRUE(escapes.startsWith(sheet.at(2, 2).value.toString().chopped(17)));
}

TEST_P(ExportTest, NothingIsWrittenWhenTheRunCannotComplete)
{
    writeFile(out, "cartella di prima");
    addCase({{"posizione", "P1"}, {"tipo mandato", "CRV"}});
    addCase({{"posizione", "P2"}, {"tipo mandato", "CRV"}});

    const auto unknown = esporta({"posizione", "Citta", "nessuno", "importo  rata"});
    EXPECT_EQ(unknown.esito, Esito::DefinizioneNonValida);
    EXPECT_EQ(unknown.messaggi, Names{"I campi \"nessuno\", \"importo  rata\" non esistono nella tabella "
                                      "[Tabella Pratiche]: correggere la definizione. Nessun file scritto"});

    const auto none = esporta({"posizione"}, {.mandato = "DEZ"});
    EXPECT_EQ(none.esito, Esito::NessunaPratica);
    EXPECT_EQ(none.messaggi, Names{"Nessuna pratica trovata"});

    const auto stopped = esporta({"posizione"}, {}, [](long done, long) { return done < 1; });
    EXPECT_EQ(stopped.esito, Esito::Interrotta);
    // A stop that comes after the last case, while the workbook is written out.
    const auto late = esporta({"posizione"}, {}, [calls = 0L](long, long total) mutable { return ++calls <= total; });
    EXPECT_EQ(late.esito, Esito::Interrotta);
    EXPECT_EQ(late.messaggi, Names{"Esportazione interrotta: nessun file scritto"});

    const auto missingFolder = tools::esportaPratiche(db(), {}, {"posizione"}, suite.paths().root / "no" / "x.xlsx", it);
    EXPECT_EQ(missingFolder.esito, Esito::Errore);
    EXPECT_EQ(missingFolder.messaggi,
              Names{"Impossibile scrivere il file " + (suite.paths().root / "no" / "x.xlsx").string() +
                    ": la cartella " + (suite.paths().root / "no").string() + " non esiste. Nessun file scritto"});

    EXPECT_EQ(readFile(out), "cartella di prima");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(suite.paths().root), {}), 3)
        << "import/, dati/ and the old file only";
}

TEST_P(ExportTest, AWorkbookThatCannotBeWrittenAtTheEndIsNamedAsTheOperatorGaveIt)
{
    addCase({{"posizione", "P1"}});
    // The folder of the workbook disappears during the run (a network share lost).
    const auto folder = suite.paths().root / "uscita";
    std::filesystem::create_directory(folder);
    const auto target = folder / "casi.xlsx";
    const auto r = tools::esportaPratiche(db(), {}, {"posizione"}, target, it, [&](long, long) {
        std::filesystem::remove_all(folder);
        return true;
    });
    EXPECT_EQ(r.esito, Esito::Errore);
    EXPECT_EQ(r.messaggi, Names{"Impossibile scrivere il file " + target.string() + ": la cartella " +
                                folder.string() + " non esiste. Nessun file scritto"});
    EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST_P(ExportTest, CasesComeInCounterOrderAcrossChunks)
{
    db().begin();
    for (int i = 0; i < 1203; ++i) addCase({{"posizione", QString::number(1203 - i)}});
    db().commit();
    addNote("1", "ultima");
    addNote("1203", "prima");
    std::vector<long> seen;
    const auto r = esporta({"posizione", "note comuni"}, {}, [&](long done, long total) {
        seen.push_back(done);
        return total == 1203;
    });
    ASSERT_EQ(r.esito, Esito::Terminata);
    // One call a case in order, and the last once more before the workbook is kept.
    ASSERT_EQ(seen.size(), 1204u);
    EXPECT_EQ(seen[0], 1);
    EXPECT_EQ(seen[1202], 1203);
    EXPECT_EQ(seen[1203], 1203);
    const XlsxSheetRead sheet = readXlsx(out);
    ASSERT_EQ(sheet.rows.size(), 1204u);
    EXPECT_EQ(sheet.at(2, 1).text(), "1203");
    EXPECT_EQ(sheet.at(2, 2).text(), "prima");
    EXPECT_EQ(sheet.at(1204, 1).text(), "1");
    EXPECT_EQ(sheet.at(1204, 2).text(), "ultima");
    EXPECT_EQ(sheet.at(700, 1).text(), "505");
}

CRV_INSTANTIATE_FOR_DATABASES(ExportTest);

}  // namespace
}  // namespace crv::test
