#include "import/corvestra_reader.h"

#include <optional>
#include <string_view>

#include "import/case_error.h"
#include "import/value_limits.h"
#include "xml/xml_document.h"

namespace crv {

const char* const kIntestazioneMovimenti =
    "DATA REG   VALUTA     CAUSALE      DARE    AVERE CAUSALE ANALITICA              ";

namespace {

// Element names are compared after upper-casing (ASCII: the tags are ASCII).
bool is(pugi::xml_node node, std::string_view upper)
{
    const char* name = node.name();
    std::size_t i = 0;
    for (; name[i] != '\0'; ++i) {
        if (i >= upper.size()) return false;
        char c = name[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i]) return false;
    }
    return i == upper.size();
}

template <typename... Names>
bool isAny(pugi::xml_node node, Names... names)
{
    return (is(node, names) || ...);
}

bool isExactly(pugi::xml_node node, std::string_view name)
{
    return std::string_view(node.name()) == name;
}

Amount numeroDi(pugi::xml_node element)
{
    const std::string text = nodeText(element);
    const auto value = Amount::parseLeadingNumber(text);
    if (!value) throw CaseInputError("numero fuori dall'intervallo ammesso", element.name(), text);
    return *value;
}

std::string tab(int count, std::string_view text, bool blank = false)
{
    std::string out(static_cast<std::size_t>(count), '\t');
    if (blank) out += ' ';
    out += text;
    return out;
}

class Walker {
public:
    Walker(const ReaderOptions& options, const Regional& regional, Case& values, MemoText& memo)
        : opt_(options), regional_(regional), v_(values), memo_(memo)
    {
    }

    void sectionValues(pugi::xml_node e);
    void statementValues(pugi::xml_node e);

private:
    std::string testo(pugi::xml_node e, std::string Case::* valore) const
    {
        return testoValore(e, valore, opt_.limiti);
    }
    void residenza(pugi::xml_node e);
    void altriTelefoni(pugi::xml_node e);
    void garante(pugi::xml_node g, bool telefoniList);
    void telefoniGarante(pugi::xml_node telefoni);
    void containerChild(pugi::xml_node c);
    void movimento(pugi::xml_node m);

    const ReaderOptions& opt_;
    const Regional& regional_;
    Case& v_;
    MemoText& memo_;
};

void Walker::sectionValues(pugi::xml_node e)
{
    if (is(e, "IMPORTO_SPESE_INCASSO")) {
        v_.SpeseIncasso = importoDi(e, regional_);
    } else if (is(e, "RATAGLOBALE")) {
        v_.RataGlobale = importoDi(e, regional_);
    } else if (is(e, "SALDO_INIZIALE")) {
        v_.SaldoIniziale = importoDi(e, regional_);
    } else if (is(e, "ID_AFFIDAMENTO")) {
        v_.IdAffidamento = testo(e, &Case::IdAffidamento);
    } else if (is(e, "CODICE_PRATICA")) {
        v_.CodicePratica = testo(e, &Case::CodicePratica);
    } else if (is(e, "NOME")) {
        v_.Nominativo = testo(e, &Case::Nominativo);
    } else if (is(e, "CODICE_FISCALE")) {
        v_.CodiceFiscale = testo(e, &Case::CodiceFiscale);
    } else if (is(e, "DATA_NASCITA")) {
        v_.DataNascita = DataXML(nodeText(e));
    } else if (is(e, "LUOGO_NASCITA")) {
        v_.LuogoNascita = testo(e, &Case::LuogoNascita);
    } else if (is(e, "DATORE_LAVORO")) {
        v_.DatoreLavoro = testo(e, &Case::DatoreLavoro);
    } else if (is(e, "RESIDENZA")) {
        residenza(e);
    } else if (is(e, "ALTRI_TELEFONI")) {
        altriTelefoni(e);
    } else if (isAny(e, "GARANTI", "COOBBLIGATI", "COOBBLIGATO")) {
        // Lists of people: the values are one level further down.
        for (const pugi::xml_node g : e.children())
            if (g.type() == pugi::node_element && isAny(g, "GARANTE", "COOBBLIGATO")) garante(g, false);
    } else if (is(e, "GARANZIE")) {
        // One guarantor described by GARANZIE's own children.
        garante(e, true);
    } else if (isAny(e, "SCADENZE", "DATI_BENE", "ANAGRAFICHE", "UTILIZZI", "ATTUALE", "PROPOSTE_RFO")) {
        if (hasChildNodes(e))
            for (const pugi::xml_node c : e.children())
                if (c.type() == pugi::node_element) containerChild(c);
    }
}

void Walker::residenza(pugi::xml_node e)
{
    for (const pugi::xml_node c : e.children()) {
        if (c.type() != pugi::node_element) continue;
        if (is(c, "INDIRIZZO"))
            v_.Indirizzo = testo(c, &Case::Indirizzo);
        else if (is(c, "LOCALITA"))
            v_.Localita = testo(c, &Case::Localita);
        else if (is(c, "COMUNE"))
            v_.Comune = testo(c, &Case::Comune);
        else if (is(c, "CAP"))
            v_.Cap = testo(c, &Case::Cap);
        else if (is(c, "PROVINCIA"))
            v_.Provincia = testo(c, &Case::Provincia);
        else if (is(c, "TELEFONO"))
            v_.Telefono = testo(c, &Case::Telefono);
    }
}

void Walker::altriTelefoni(pugi::xml_node e)
{
    // A TIPO names the number read before it; a fifth number and later are dropped.
    for (const pugi::xml_node tel : e.children()) {
        if (tel.type() != pugi::node_element || !is(tel, "TELEFONO")) continue;
        for (const pugi::xml_node c : tel.children()) {
            if (c.type() != pugi::node_element) continue;
            if (is(c, "NUMERO")) {
                if (v_.ContaTelefoni < 4) v_.AltriTelefoni[static_cast<std::size_t>(v_.ContaTelefoni)] = nodeText(c);
                ++v_.ContaTelefoni;
            } else if (is(c, "TIPO")) {
                if (v_.ContaTelefoni > 0 && v_.ContaTelefoni < 5)
                    v_.TipiTelefono[static_cast<std::size_t>(v_.ContaTelefoni - 1)] = nodeText(c);
            }
        }
    }
}

// Each value a guarantor element carries replaces the one an earlier
// guarantor gave; the values it does not carry stay as they were.
void Walker::garante(pugi::xml_node g, bool telefoniList)
{
    for (const pugi::xml_node c : g.children()) {
        if (c.type() != pugi::node_element) continue;
        if (is(c, "NOME")) {
            v_.GaranteNome = testo(c, &Case::GaranteNome);
        } else if (is(c, "INDIRIZZO")) {
            v_.GaranteIndirizzo = testo(c, &Case::GaranteIndirizzo);
        } else if (is(c, "CAP")) {
            v_.GaranteCap = testo(c, &Case::GaranteCap);
        } else if (is(c, "COMUNE")) {
            v_.GaranteComune = testo(c, &Case::GaranteComune);
        } else if (is(c, "CODICE_FISCALE")) {
            v_.GaranteCodiceFiscale = testo(c, &Case::GaranteCodiceFiscale);
        } else if (!telefoniList && is(c, "TELEFONO")) {
            v_.GaranteTelefono = testo(c, &Case::GaranteTelefono);
        } else if (telefoniList && is(c, "TELEFONI")) {
            telefoniGarante(c);
        }
    }
}

void Walker::telefoniGarante(pugi::xml_node telefoni)
{
    // The last number wins, whatever it holds: the case record writer keeps
    // an e-mail address (a value with "@") out of the phone field.
    for (const pugi::xml_node t : telefoni.children()) {
        if (t.type() != pugi::node_element || !is(t, "TELEFONO")) continue;
        for (const pugi::xml_node n : t.children()) {
            if (n.type() != pugi::node_element || !is(n, "NUMERO")) continue;
            v_.GaranteTelefono = testo(n, &Case::GaranteTelefono);
        }
    }
}

void Walker::containerChild(pugi::xml_node c)
{
    if (is(c, "RATA_UP")) {
        v_.RataUp = numeroDi(c);
    } else if (is(c, "IMPORTO_RATA")) {
        v_.ImportoRata = numeroDi(c);
        memo_.AddMemo(c);
    } else if (is(c, "SETTORE_OPERATIVO")) {
        v_.SettoreOperativo = testo(c, &Case::SettoreOperativo);
        memo_.AddMemo(c);
    } else if (is(c, "CAPITALE")) {
        v_.Capitale = importoDi(c, regional_);
        memo_.AddMemo(c);
    } else if (is(c, "INTERESSI_MORA")) {
        v_.InteressiMora = importoDi(c, regional_);
        memo_.AddMemo(c);
    } else if (is(c, "SPESE_RECUPERO")) {
        v_.SpeseRecupero = importoDi(c, regional_);
        memo_.AddMemo(c);
    } else if (isAny(c, "BENE", "UTILIZZO", "PROPOSTA_RFO")) {
        memo_.AddMemoText(tab(2, c.name()));
        for (const pugi::xml_node g : c.children())
            if (g.type() == pugi::node_element) memo_.AddMemo(g);
        if (isExactly(c, "PROPOSTA_RFO")) v_.HaProposte = true;
    } else if (isAny(c, "VALIDE", "NON_VALIDE", "ULTERIORI")) {
        if (hasChildNodes(c)) {
            memo_.AddMemoText(tab(1, c.name()));
            for (const pugi::xml_node g : c.children())
                if (g.type() == pugi::node_element) memo_.AddMemo(g);
        }
    } else {
        memo_.AddMemo(c);
    }
}

void Walker::statementValues(pugi::xml_node e)
{
    if (!isAny(e, "RIASSUNTO_PRECONTENZIOSO", "RIASSUNTO_CONTENZIOSO", "MOVIMENTI")) return;
    // The header needs the exact name: a lower-case `movimenti` gets rows only.
    if (isExactly(e, "MOVIMENTI")) memo_.AddMemoText(tab(2, kIntestazioneMovimenti));
    if (!hasChildNodes(e)) return;
    for (const pugi::xml_node c : e.children()) {
        if (c.type() != pugi::node_element) continue;
        if (is(c, "MOVIMENTO"))
            movimento(c);
        else
            memo_.AddMemo(c);  // SALDO_INF30GG and any other
    }
}

void Walker::movimento(pugi::xml_node m)
{
    // Each element appends its column in the order met; the registration
    // date starts the row afresh. Amounts are copied as written. The row is
    // written in the memo as it is made (an analytic reason may be huge).
    std::string& row = memo_.newEntry(nodeTextSize(m) + 64);
    row += "\t\t";
    const std::size_t start = row.size();
    for (const pugi::xml_node c : m.children()) {
        if (c.type() != pugi::node_element) continue;
        if (is(c, "DATA_REGISTRAZIONE")) {
            row.resize(start);
            row += DataXML(nodeText(c));
        } else if (is(c, "DATA_VALUTA")) {
            row += " " + DataXML(nodeText(c));
        } else if (is(c, "CAUSALE")) {
            row += " " + Fill(nodeText(c), 8);
        } else if (isAny(c, "IMPORTO_DARE", "IMPORTO_AVERE")) {
            row += " " + Filla(nodeText(c), 8);
        } else if (is(c, "CAUSALE_ANALITICA")) {
            row += ' ';
            appendNodeText(row, c);
        }
    }
}

}  // namespace

Amount importoDi(pugi::xml_node element, const Regional& regional)
{
    return importoDelCampo(element.name(), nodeText(element), regional);
}

void leggiPratica(pugi::xml_node caseElement, const ReaderOptions& options, const Regional& regional,
                  Case& values, MemoText& memo, BankChildReader* bank)
{
    Walker walker(options, regional, values, memo);
    const std::string dashes(70, '-');
    std::optional<std::size_t> memoCaso;  // size of the case's memo form
    for (const pugi::xml_node s : caseElement.children()) {
        if (s.type() != pugi::node_element) continue;
        const bool identificativi = is(s, "DATI_IDENTIFICATIVI");
        const bool estratto = is(s, "ESTRATTO_CONTO");
        const bool anagrafica = identificativi || isAny(s, "CLIENTE", "DATI_CONTRATTO", "AFFIDAMENTI");

        if (identificativi) {
            if (options.sezioni[0]) memo.AddMemoText(s.name());
        } else if (estratto) {
            if (!options.sezioni[4]) continue;
            memo.AddMemoText(s.name());
        } else if (options.modoDocumento) {
            // The bank reader sees the whole case in the memo at every child.
            // The case's memo form is made once; a section read the other way
            // only appends to it, so the memo is cut back to that form.
            if (!memoCaso) {
                memo.clear();
                memo.AddMemo(caseElement);
                memoCaso = memo.text().size();
            } else {
                memo.cut(*memoCaso);
            }
            if (bank) bank->leggiFiglio(caseElement, s);
            continue;
        } else {
            memo.AddMemoText(s.name());
        }

        for (const pugi::xml_node e : s.children()) {
            if (e.type() != pugi::node_element) continue;
            if (hasChildNodes(e)) {
                if (estratto) {
                    memo.AddMemoText(tab(1, e.name()));
                } else if (identificativi) {
                    if (options.sezioni[0]) memo.AddMemo(e);
                } else if (isAny(e, "DATI_BENE", "UTILIZZI", "ATTUALE", "ANAGRAFICHE", "PROPOSTE_RFO")) {
                    memo.AddMemoText(tab(1, e.name(), true));
                } else if (is(e, "SCADENZE")) {
                    if (!options.sezioni[5]) continue;
                    memo.AddMemoText(tab(1, e.name(), true));
                } else {
                    memo.AddMemo(e);
                }
            }
            if (anagrafica)
                walker.sectionValues(e);
            else if (estratto)
                walker.statementValues(e);
        }
        memo.AddMemoText(dashes);
    }
}

}  // namespace crv
