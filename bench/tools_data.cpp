#include "tools_data.h"

#include <array>
#include <random>
#include <string>

#include <QDate>
#include <QString>

#include "db/database.h"

namespace crv::bench {

namespace {

constexpr std::array kSurnames{"ROSSI", "RUSSO", "FERRARI", "ESPOSITO", "BIANCHI", "ROMANO", "COLOMBO", "RICCI",
                               "MARINO", "GRECO", "BRUNO", "GALLO", "CONTI", "DE LUCA", "MANCINI", "COSTA"};
constexpr std::array kNames{"MARIO", "GIUSEPPE", "ANNA", "MARIA", "LUCA", "FRANCESCA", "PAOLO", "GIULIA",
                            "ANTONIO", "CHIARA", "GIOVANNI", "SARA"};
constexpr std::array kTowns{"ROMA", "MILANO", "NAPOLI", "TORINO", "PALERMO", "GENOVA", "BOLOGNA", "FIRENZE",
                            "BARI", "CATANIA", "VERONA", "PADOVA"};
constexpr std::array kSections{"DATI_IDENTIFICATIVI", "CLIENTE", "DATI_CONTRATTO", "AFFIDAMENTI", "SCADENZE",
                               "ESTRATTO_CONTO"};
constexpr std::array kKeys{"CODICE_PRATICA", "NOMINATIVO", "INDIRIZZO", "TELEFONO", "IMPORTO_RATA", "DATA_SCADENZA",
                           "CAUSALE", "DESCRIZIONE", "NUMERO_CONTRATTO", "DATA_VALUTA", "IMPORTO_DARE", "NOTE"};
constexpr std::array kWords{"pagamento", "rata", "insoluta", "sollecito", "telefonato", "promette", "entro",
                            "fine", "mese", "bonifico", "contratto", "residuo", "debitore", "indirizzo",
                            "nuovo", "verificare", "accordo", "saldo", "stralcio", "interessi"};

class Text {
public:
    explicit Text(std::mt19937& random) : random_(random) {}
    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    template <typename Array>
    const char* pick(const Array& words) { return words[static_cast<std::size_t>(between(0, words.size() - 1))]; }

    // A memo as the import writes it: sections, then "KEY = value" lines, CR LF.
    std::string memo(int bytes)
    {
        std::string text;
        while (static_cast<int>(text.size()) < bytes) {
            if (text.empty() || between(0, 7) == 0) {
                text += pick(kSections);
            } else {
                text += "  ";
                text += pick(kKeys);
                text += " = ";
                for (int w = between(1, 6); w > 0; --w) {
                    text += pick(kWords);
                    text += ' ';
                }
                text += std::to_string(between(1, 99999));
            }
            text += "\r\n";
        }
        return text;
    }

    std::string sentence(int bytes)
    {
        std::string text = "Nota del " + std::to_string(between(1, 28)) + "/" + std::to_string(between(1, 12)) + ":";
        while (static_cast<int>(text.size()) < bytes) {
            text += ' ';
            text += pick(kWords);
        }
        return text;
    }

private:
    std::mt19937& random_;
};

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

}  // namespace

ToolsData fillToolsData(db::Database& db, long cases, unsigned seed)
{
    std::mt19937 random(seed);
    Text t(random);
    ToolsData data;
    const QString noteSql = QStringLiteral("INSERT INTO notecomuni (posizione, ") + db.quote("note comuni") +
                            QStringLiteral(") VALUES (?, ?)");
    const long perBatch = (cases + 3) / 4;
    db.begin();
    for (long i = 0; i < cases; ++i) {
        char code[32];
        std::snprintf(code, sizeof code, "%09ld", 100000000L + i * 7);
        const std::string posizione = code;
        const std::string memo = t.memo(t.between(600, 4200));  // 2.4 KB on average
        const QDate affido = QDate(2024, 1, 1).addDays(t.between(0, 700));
        db.insert(QStringLiteral("Tabella Pratiche"),
                  {{"posizione", q(posizione)},
                   {"lottoimportazione", static_cast<qint64>(1 + i / perBatch)},
                   {"tipo mandato", "CRV"},
                   {"data affido", affido},
                   {"scadenza mandato", affido.addDays(t.between(30, 365))},
                   {"Ragione sociale", q(std::string(t.pick(kSurnames)) + " " + t.pick(kNames))},
                   {"Indirizzo", q("VIA " + std::string(t.pick(kWords)) + " " + std::to_string(t.between(1, 200)))},
                   {"Cap", q(std::to_string(t.between(100, 98100) + 100000).substr(1))},
                   {"Citta", q(t.pick(kTowns))},
                   {"data nascita", QDate(1940, 1, 1).addDays(t.between(0, 20000))},
                   {"importo rata", q(std::to_string(t.between(10, 2000)) + "." + std::to_string(t.between(10, 99)))},
                   {"importo totale",
                    q(std::to_string(t.between(100, 90000)) + "." + std::to_string(t.between(1000, 9999)))},
                   {"memoEC", q(t.memo(t.between(300, 2500)))},
                   {"memo", q(memo)}});
        data.memoBytes += memo.size();
        if (i % 2 == 0) {
            db.executePrepared(noteSql, {q(posizione), q(t.sentence(t.between(80, 600)))});
            ++data.notes;
            if (i % 10 == 0) {
                db.executePrepared(noteSql, {q(posizione), q(t.sentence(t.between(80, 300)))});
                ++data.notes;
            }
        }
        ++data.cases;
    }
    db.commit();
    return data;
}

}  // namespace crv::bench
