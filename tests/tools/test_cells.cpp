// What a database value becomes in a cell, and the column widths that
// AutoFit would give.
#include <gtest/gtest.h>

#include <QDate>
#include <QDateTime>

#include "tools/cell_value.h"
#include "tools/column_width.h"

namespace crv::test {
namespace {

using tools::Cella;
using tools::cellaPer;
using K = db::FieldKind;

TEST(CellValue, TextsKeepLeadingZerosAndLoseSurroundingBlanks)
{
    EXPECT_EQ(cellaPer(QString("00184"), K::Text).testo, "00184");
    EXPECT_EQ(cellaPer(QString("  ROSSI MARIO  "), K::Text).testo, "ROSSI MARIO");
    EXPECT_EQ(cellaPer(QString("riga 1\r\nriga 2 "), K::Text).testo, "riga 1\r\nriga 2");
    EXPECT_EQ(cellaPer(QString("   "), K::Text).tipo, Cella::Tipo::Vuota);
    EXPECT_EQ(cellaPer(QVariant(QMetaType(QMetaType::QString)), K::Text).tipo, Cella::Tipo::Vuota);  // Null
    EXPECT_EQ(cellaPer(QVariant(), K::Date).tipo, Cella::Tipo::Vuota);
}

TEST(CellValue, NumbersOfNumericFieldsAsNumbersElseText)
{
    const Cella amount = cellaPer(QString("1234.5600"), K::Decimal);  // numeric read with high precision
    EXPECT_EQ(amount.tipo, Cella::Tipo::Decimale);
    EXPECT_DOUBLE_EQ(amount.numero, 1234.56);
    EXPECT_EQ(cellaPer(QVariant(qint64(-42)), K::Integer).tipo, Cella::Tipo::Intero);
    EXPECT_DOUBLE_EQ(cellaPer(QString("-12.5"), K::Decimal).numero, -12.5);
    // SQLite keeps any text in a numeric column: it stays text.
    EXPECT_EQ(cellaPer(QString("12,50 euro"), K::Decimal).testo, "12,50 euro");
    // Beyond 2^53 a whole number would lose digits as a spreadsheet number.
    EXPECT_EQ(cellaPer(QVariant(qint64(9007199254740993LL)), K::Integer).testo, "9007199254740993");
    // A number in a text field stays text.
    EXPECT_EQ(cellaPer(QVariant(12), K::Text).tipo, Cella::Tipo::Testo);
}

TEST(CellValue, DatesFromEveryFormTheDatabasesGive)
{
    const Cella fromText = cellaPer(QString("2024-03-05"), K::Date);  // SQLite
    EXPECT_EQ(fromText.tipo, Cella::Tipo::Data);
    EXPECT_EQ(std::tie(fromText.anno, fromText.mese, fromText.giorno), std::make_tuple(2024, 3, 5));
    EXPECT_EQ(cellaPer(QDate(2024, 2, 29), K::Date).tipo, Cella::Tipo::Data);  // PostgreSQL
    EXPECT_EQ(cellaPer(QDateTime(QDate(2024, 3, 5), QTime(0, 0)), K::DateTime).tipo, Cella::Tipo::Data);
    const Cella withTime = cellaPer(QString("2024-03-05 13:45:30"), K::DateTime);
    EXPECT_EQ(withTime.tipo, Cella::Tipo::DataOra);
    EXPECT_EQ(std::tie(withTime.ora, withTime.minuto), std::make_tuple(13, 45));
    EXPECT_DOUBLE_EQ(withTime.secondo, 30.0);
    // What a spreadsheet cannot hold as a date stays readable as text.
    EXPECT_EQ(cellaPer(QString("05/03/2024"), K::Date).testo, "05/03/2024");
    EXPECT_EQ(cellaPer(QString("2024-02-30"), K::Date).testo, "2024-02-30");
    EXPECT_EQ(cellaPer(QDate(1899, 12, 31), K::Date).testo, "1899-12-31");
}

TEST(CellValue, LongTextsAreCutToTheCellLimitWithAMark)
{
    const std::string mark(tools::kMarcaTaglio);
    EXPECT_FALSE(tools::cellaTesto(QString(32767, QChar('a'))).tagliato);
    const Cella cut = tools::cellaTesto(QString(40000, QChar('a')));
    EXPECT_TRUE(cut.tagliato);
    EXPECT_EQ(QString::fromStdString(cut.testo).size(), 32767);
    EXPECT_TRUE(cut.testo.ends_with(mark));
    // Characters outside the basic plane count twice and are never split.
    QString emoji = QStringLiteral("a");  // so that the cut falls inside a pair
    for (int i = 0; i < 20000; ++i) emoji += QString::fromUtf8("\xF0\x9F\x98\x80");
    const Cella cutEmoji = tools::cellaTesto(emoji);
    const QString shown = QString::fromStdString(cutEmoji.testo);
    EXPECT_EQ(shown.size(), 32766);
    EXPECT_TRUE(shown.chopped(static_cast<qsizetype>(mark.size())).back().isLowSurrogate());
}

TEST(ColumnWidth, FitsTheWidestTextWithinExcelsLimit)
{
    // Digits are 7 pixels: ten of them plus the margins make 11 characters.
    EXPECT_EQ(tools::textPixels("0123456789"), 70);
    EXPECT_NEAR(tools::columnWidthForPixels(70), 72.0 / 7.0, 1.0 / 256);
    // Bold letters are wider; accented letters as wide as their base letter.
    EXPECT_GT(tools::textPixels("MANDATO", true), tools::textPixels("MANDATO"));
    EXPECT_EQ(tools::textPixels("città"), tools::textPixels("citta"));
    tools::ColumnFit fit;
    fit.text("breve");
    fit.text(std::string(100000, 'W'));
    EXPECT_DOUBLE_EQ(fit.width(), tools::kMaxColumnWidth);
}

}  // namespace
}  // namespace crv::test
