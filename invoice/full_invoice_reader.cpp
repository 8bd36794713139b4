#include "invoice/full_invoice_reader.h"

#include <cstring>
#include <initializer_list>

#include "invoice/xml_walk.h"

namespace crv {
namespace {

using invoice_xml::Elements;
using invoice_xml::textOf;
using invoice_xml::UpperName;

// An element read into a text member of T.
template <class T>
struct Field {
    const char* name;  // upper case
    std::string T::*member;
};

// Reads the known child elements of n into out; returns false for a child
// that is none of them, so that the caller can keep it another way.
template <class T>
bool readField(pugi::xml_node e, T& out, std::initializer_list<Field<T>> fields)
{
    const UpperName name(e);
    for (const Field<T>& f : fields) {
        if (name == f.name) {
            out.*f.member = textOf(e);
            return true;
        }
    }
    return false;
}

// "DataOraConsegna" -> "Data ora consegna"; a run of capitals ("IVA",
// "EORI") stays one upper-case word.
std::string humanName(std::string_view name)
{
    if (const auto colon = name.find(':'); colon != std::string_view::npos) name.remove_prefix(colon + 1);
    // Names whose words alone say less than an accountant's word for them.
    static const std::pair<std::string_view, std::string_view> kWords[] = {
        {"IdFiscaleIVA", "Partita IVA"}, {"DatiAnagraficiVettore", "Vettore"}, {"DataOraConsegna", "Data e ora consegna"},
        {"DataOraRitiro", "Data e ora ritiro"}, {"NumeroFatturaPrincipale", "Numero"}, {"DataFatturaPrincipale", "Data"},
    };
    for (const auto& [from, to] : kWords) {
        if (name == from) return std::string(to);
    }
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool upper = c >= 'A' && c <= 'Z';
        const bool prevLower = i > 0 && name[i - 1] >= 'a' && name[i - 1] <= 'z';
        const bool nextLower = i + 1 < name.size() && name[i + 1] >= 'a' && name[i + 1] <= 'z';
        const bool prevUpper = i > 0 && name[i - 1] >= 'A' && name[i - 1] <= 'Z';
        if (i > 0 && upper && (prevLower || (prevUpper && nextLower))) out += ' ';
        // A word after the first is written in lower case unless it is an acronym.
        const bool acronym = upper && ((i + 1 < name.size() && !nextLower) || (i + 1 == name.size() && prevUpper));
        out += (i > 0 && upper && !acronym) ? static_cast<char>(c - 'A' + 'a') : c;
    }
    // A label starts with a capital, whatever case the file writes the name in.
    if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
    return out;
}

Campo::Formato formatoOf(std::string_view name)
{
    if (name.starts_with("DataOra")) return Campo::Formato::DataOra;
    if (name.starts_with("Data")) return Campo::Formato::Data;
    if (name.starts_with("Importo")) return Campo::Formato::Importo;
    return Campo::Formato::Testo;
}

// Every value below n as labelled values: the label is the path of the
// element names below the block, wrappers of a name left out; a VAT number
// (country and code) is one value.
void flatten(pugi::xml_node n, const std::string& path, std::vector<Campo>& out)
{
    bool hasChildElement = false;
    for (const pugi::xml_node c : Elements(n)) {
        hasChildElement = true;
        const UpperName name(c);
        if (name == "ANAGRAFICA" || name == "DATIANAGRAFICI") {
            flatten(c, path, out);
            continue;
        }
        const std::string label = path.empty() ? humanName(c.name()) : path + " / " + humanName(c.name());
        if (name == "IDFISCALEIVA") {
            out.push_back({label, textOf(invoice_xml::firstElement(c)) + textOf(invoice_xml::secondElement(c)),
                           Campo::Formato::Testo});
            continue;
        }
        flatten(c, label, out);
    }
    if (!hasChildElement) {
        const std::string text = textOf(n);
        if (!text.empty()) out.push_back({path, text, formatoOf(n.name())});
    }
}

void flattenBlock(pugi::xml_node n, const char* heading, std::vector<Campo>& out)
{
    flatten(n, heading != nullptr ? heading : humanName(n.name()), out);
}

void readIdFiscale(pugi::xml_node n, IdFiscale& out)
{
    for (const pugi::xml_node e : Elements(n))
        readField<IdFiscale>(e, out, {{"IDPAESE", &IdFiscale::IdPaese}, {"IDCODICE", &IdFiscale::IdCodice}});
}

void readAddress(pugi::xml_node n, Indirizzo& out)
{
    for (const pugi::xml_node e : Elements(n)) {
        readField<Indirizzo>(e, out,
                             {{"INDIRIZZO", &Indirizzo::Indirizzo},
                              {"NUMEROCIVICO", &Indirizzo::NumeroCivico},
                              {"CAP", &Indirizzo::CAP},
                              {"COMUNE", &Indirizzo::Comune},
                              {"PROVINCIA", &Indirizzo::Provincia},
                              {"NAZIONE", &Indirizzo::Nazione}});
    }
}

// The personal data of a party: in "DatiAnagrafici", or straight below the
// element (the buyer's tax representative).
void readPersonal(pugi::xml_node n, Soggetto& s, std::vector<Campo>& other, const std::string& path)
{
    for (const pugi::xml_node e : Elements(n)) {
        const UpperName name(e);
        if (name == "IDFISCALEIVA") readIdFiscale(e, s.IdFiscaleIVA);
        else if (name == "ANAGRAFICA") readPersonal(e, s, other, path);
        else if (!readField<Soggetto>(e, s,
                                      {{"CODICEFISCALE", &Soggetto::CodiceFiscale},
                                       {"DENOMINAZIONE", &Soggetto::Denominazione},
                                       {"NOME", &Soggetto::Nome},
                                       {"COGNOME", &Soggetto::Cognome},
                                       {"TITOLO", &Soggetto::Titolo},
                                       {"CODEORI", &Soggetto::CodEORI},
                                       {"ALBOPROFESSIONALE", &Soggetto::AlboProfessionale},
                                       {"PROVINCIAALBO", &Soggetto::ProvinciaAlbo},
                                       {"NUMEROISCRIZIONEALBO", &Soggetto::NumeroIscrizioneAlbo},
                                       {"DATAISCRIZIONEALBO", &Soggetto::DataIscrizioneAlbo},
                                       {"REGIMEFISCALE", &Soggetto::RegimeFiscale}}))
            flatten(e, path + " / " + humanName(e.name()), other);
    }
}

void readParty(pugi::xml_node n, Soggetto::Ruolo ruolo, FatturaCompleta& out)
{
    Soggetto s;
    s.ruolo = ruolo;
    const std::string path = humanName(n.name());
    std::vector<Soggetto> representatives;
    for (const pugi::xml_node e : Elements(n)) {
        const UpperName name(e);
        if (name == "DATIANAGRAFICI") {
            readPersonal(e, s, out.altriDatiTestata, path);
        } else if (name == "SEDE") {
            readAddress(e, s.Sede);
        } else if (name == "STABILEORGANIZZAZIONE") {
            readAddress(e, s.StabileOrganizzazione);
        } else if (name == "ISCRIZIONEREA") {
            for (const pugi::xml_node r : Elements(e)) {
                readField<Soggetto>(r, s,
                                    {{"UFFICIO", &Soggetto::UfficioREA},
                                     {"NUMEROREA", &Soggetto::NumeroREA},
                                     {"CAPITALESOCIALE", &Soggetto::CapitaleSociale},
                                     {"SOCIOUNICO", &Soggetto::SocioUnico},
                                     {"STATOLIQUIDAZIONE", &Soggetto::StatoLiquidazione}});
            }
        } else if (name == "CONTATTI") {
            for (const pugi::xml_node c : Elements(e)) {
                readField<Soggetto>(c, s,
                                    {{"TELEFONO", &Soggetto::Telefono},
                                     {"FAX", &Soggetto::Fax},
                                     {"EMAIL", &Soggetto::Email}});
            }
        } else if (name == "RAPPRESENTANTEFISCALE" && ruolo == Soggetto::Ruolo::Cessionario) {
            Soggetto r;
            r.ruolo = Soggetto::Ruolo::RappresentanteCessionario;
            readPersonal(e, r, out.altriDatiTestata, path + " / " + humanName(e.name()));
            representatives.push_back(std::move(r));
        } else if (!readField<Soggetto>(e, s, {{"RIFERIMENTOAMMINISTRAZIONE", &Soggetto::RiferimentoAmministrazione}})) {
            flatten(e, path + " / " + humanName(e.name()), out.altriDatiTestata);
        }
    }
    out.soggetti.push_back(std::move(s));
    for (Soggetto& r : representatives) out.soggetti.push_back(std::move(r));
}

void readTransmission(pugi::xml_node n, FatturaCompleta& out)
{
    Trasmissione& t = out.trasmissione;
    for (const pugi::xml_node e : Elements(n)) {
        const UpperName name(e);
        if (name == "IDTRASMITTENTE") {
            readIdFiscale(e, t.IdTrasmittente);
        } else if (name == "CONTATTITRASMITTENTE") {
            for (const pugi::xml_node c : Elements(e))
                readField<Trasmissione>(c, t, {{"TELEFONO", &Trasmissione::Telefono}, {"EMAIL", &Trasmissione::Email}});
        } else if (!readField<Trasmissione>(e, t,
                                            {{"PROGRESSIVOINVIO", &Trasmissione::ProgressivoInvio},
                                             {"FORMATOTRASMISSIONE", &Trasmissione::FormatoTrasmissione},
                                             {"CODICEDESTINATARIO", &Trasmissione::CodiceDestinatario},
                                             {"PECDESTINATARIO", &Trasmissione::PECDestinatario}})) {
            flatten(e, "Trasmissione / " + humanName(e.name()), out.altriDatiTestata);
        }
    }
}

void readHeader(pugi::xml_node header, FatturaCompleta& out)
{
    for (const pugi::xml_node p : Elements(header)) {
        const UpperName name(p);
        if (name == "DATITRASMISSIONE") readTransmission(p, out);
        else if (name == "CEDENTEPRESTATORE") readParty(p, Soggetto::Ruolo::Cedente, out);
        else if (name == "RAPPRESENTANTEFISCALE") readParty(p, Soggetto::Ruolo::RappresentanteFiscale, out);
        else if (name == "CESSIONARIOCOMMITTENTE") readParty(p, Soggetto::Ruolo::Cessionario, out);
        else if (name == "TERZOINTERMEDIARIOOSOGGETTOEMITTENTE") readParty(p, Soggetto::Ruolo::Terzo, out);
        else if (name == "SOGGETTOEMITTENTE") out.SoggettoEmittente = textOf(p);
        else flattenBlock(p, nullptr, out.altriDatiTestata);
    }
}

ScontoMaggiorazione readDiscount(pugi::xml_node n)
{
    ScontoMaggiorazione s;
    for (const pugi::xml_node e : Elements(n)) {
        readField<ScontoMaggiorazione>(e, s,
                                       {{"TIPO", &ScontoMaggiorazione::Tipo},
                                        {"PERCENTUALE", &ScontoMaggiorazione::Percentuale},
                                        {"IMPORTO", &ScontoMaggiorazione::Importo}});
    }
    return s;
}

void readDocumentData(pugi::xml_node n, Documento& d)
{
    for (const pugi::xml_node e : Elements(n)) {
        const UpperName name(e);
        if (name == "DATIRITENUTA") {
            Ritenuta r;
            for (const pugi::xml_node f : Elements(e)) {
                readField<Ritenuta>(f, r,
                                    {{"TIPORITENUTA", &Ritenuta::TipoRitenuta},
                                     {"IMPORTORITENUTA", &Ritenuta::ImportoRitenuta},
                                     {"ALIQUOTARITENUTA", &Ritenuta::AliquotaRitenuta},
                                     {"CAUSALEPAGAMENTO", &Ritenuta::CausalePagamento}});
            }
            d.ritenute.push_back(std::move(r));
        } else if (name == "DATIBOLLO") {
            for (const pugi::xml_node f : Elements(e)) {
                readField<Documento>(f, d,
                                     {{"BOLLOVIRTUALE", &Documento::BolloVirtuale},
                                      {"IMPORTOBOLLO", &Documento::ImportoBollo}});
            }
        } else if (name == "DATICASSAPREVIDENZIALE") {
            CassaPrevidenziale c;
            for (const pugi::xml_node f : Elements(e)) {
                readField<CassaPrevidenziale>(f, c,
                                              {{"TIPOCASSA", &CassaPrevidenziale::TipoCassa},
                                               {"ALCASSA", &CassaPrevidenziale::AlCassa},
                                               {"IMPORTOCONTRIBUTOCASSA", &CassaPrevidenziale::ImportoContributoCassa},
                                               {"IMPONIBILECASSA", &CassaPrevidenziale::ImponibileCassa},
                                               {"ALIQUOTAIVA", &CassaPrevidenziale::AliquotaIVA},
                                               {"RITENUTA", &CassaPrevidenziale::Ritenuta},
                                               {"NATURA", &CassaPrevidenziale::Natura},
                                               {"RIFERIMENTOAMMINISTRAZIONE",
                                                &CassaPrevidenziale::RiferimentoAmministrazione}});
            }
            d.casse.push_back(std::move(c));
        } else if (name == "SCONTOMAGGIORAZIONE") {
            d.sconti.push_back(readDiscount(e));
        } else if (name == "CAUSALE") {
            d.causali.push_back(textOf(e));
        } else if (!readField<Documento>(e, d,
                                         {{"TIPODOCUMENTO", &Documento::TipoDocumento},
                                          {"DIVISA", &Documento::Divisa},
                                          {"DATA", &Documento::Data},
                                          {"NUMERO", &Documento::Numero},
                                          {"IMPORTOTOTALEDOCUMENTO", &Documento::ImportoTotaleDocumento},
                                          {"ARROTONDAMENTO", &Documento::Arrotondamento},
                                          {"ART73", &Documento::Art73}})) {
            flatten(e, "Dati generali / " + humanName(e.name()), d.altriDati);
        }
    }
}

Riferimento readReference(pugi::xml_node n, Riferimento::Tipo tipo)
{
    Riferimento r;
    r.tipo = tipo;
    for (const pugi::xml_node e : Elements(n)) {
        const UpperName name(e);
        if (name == "RIFERIMENTONUMEROLINEA") {
            r.righe.push_back(textOf(e));
        } else {
            readField<Riferimento>(e, r,
                                   {{"IDDOCUMENTO", &Riferimento::IdDocumento},
                                    {"NUMERODDT", &Riferimento::IdDocumento},
                                    {"RIFERIMENTOFASE", &Riferimento::IdDocumento},
                                    {"DATA", &Riferimento::Data},
                                    {"DATADDT", &Riferimento::Data},
                                    {"NUMITEM", &Riferimento::NumItem},
                                    {"CODICECOMMESSACONVENZIONE", &Riferimento::CodiceCommessaConvenzione},
                                    {"CODICECUP", &Riferimento::CodiceCUP},
                                    {"CODICECIG", &Riferimento::CodiceCIG}});
        }
    }
    return r;
}

void readGeneral(pugi::xml_node n, Documento& d)
{
    static const std::pair<const char*, Riferimento::Tipo> kReferences[] = {
        {"DATIORDINEACQUISTO", Riferimento::Tipo::Ordine},
        {"DATICONTRATTO", Riferimento::Tipo::Contratto},
        {"DATICONVENZIONE", Riferimento::Tipo::Convenzione},
        {"DATIRICEZIONE", Riferimento::Tipo::Ricezione},
        {"DATIFATTURECOLLEGATE", Riferimento::Tipo::FatturaCollegata},
        {"DATISAL", Riferimento::Tipo::Sal},
        {"DATIDDT", Riferimento::Tipo::Ddt},
    };
    for (const pugi::xml_node e : Elements(n)) {
        const UpperName name(e);
        if (name == "DATIGENERALIDOCUMENTO") {
            readDocumentData(e, d);
            continue;
        }
        bool reference = false;
        for (const auto& [upper, tipo] : kReferences) {
            if (name == upper) {
                d.riferimenti.push_back(readReference(e, tipo));
                reference = true;
                break;
            }
        }
        if (reference) continue;
        if (name == "DATITRASPORTO") flattenBlock(e, "Trasporto", d.altriDati);
        else if (name == "FATTURAPRINCIPALE") flattenBlock(e, "Fattura principale", d.altriDati);
        else flattenBlock(e, nullptr, d.altriDati);
    }
}

Linea readLine(pugi::xml_node n)
{
    Linea l;
    for (const pugi::xml_node e : Elements(n)) {
        const UpperName name(e);
        if (name == "CODICEARTICOLO") {
            CodiceArticolo c;
            for (const pugi::xml_node f : Elements(e)) {
                readField<CodiceArticolo>(f, c,
                                          {{"CODICETIPO", &CodiceArticolo::CodiceTipo},
                                           {"CODICEVALORE", &CodiceArticolo::CodiceValore}});
            }
            l.codici.push_back(std::move(c));
        } else if (name == "SCONTOMAGGIORAZIONE") {
            l.sconti.push_back(readDiscount(e));
        } else if (name == "ALTRIDATIGESTIONALI") {
            AltroDatoGestionale a;
            for (const pugi::xml_node f : Elements(e)) {
                readField<AltroDatoGestionale>(f, a,
                                               {{"TIPODATO", &AltroDatoGestionale::TipoDato},
                                                {"RIFERIMENTOTESTO", &AltroDatoGestionale::RiferimentoTesto},
                                                {"RIFERIMENTONUMERO", &AltroDatoGestionale::RiferimentoNumero},
                                                {"RIFERIMENTODATA", &AltroDatoGestionale::RiferimentoData}});
            }
            l.altriDati.push_back(std::move(a));
        } else if (!readField<Linea>(e, l,
                                     {{"NUMEROLINEA", &Linea::NumeroLinea},
                                      {"TIPOCESSIONEPRESTAZIONE", &Linea::TipoCessionePrestazione},
                                      {"DESCRIZIONE", &Linea::Descrizione},
                                      {"QUANTITA", &Linea::Quantita},
                                      {"UNITAMISURA", &Linea::UnitaMisura},
                                      {"DATAINIZIOPERIODO", &Linea::DataInizioPeriodo},
                                      {"DATAFINEPERIODO", &Linea::DataFinePeriodo},
                                      {"PREZZOUNITARIO", &Linea::PrezzoUnitario},
                                      {"PREZZOTOTALE", &Linea::PrezzoTotale},
                                      {"ALIQUOTAIVA", &Linea::AliquotaIVA},
                                      {"RITENUTA", &Linea::Ritenuta},
                                      {"NATURA", &Linea::Natura},
                                      {"RIFERIMENTOAMMINISTRAZIONE", &Linea::RiferimentoAmministrazione}})) {
            // An element the line has no column for is shown with the line's other data.
            AltroDatoGestionale a;
            a.TipoDato = humanName(e.name());
            a.RiferimentoTesto = textOf(e);
            l.altriDati.push_back(std::move(a));
        }
    }
    return l;
}

void readGoods(pugi::xml_node n, Documento& d)
{
    for (const pugi::xml_node e : Elements(n)) {
        const UpperName name(e);
        if (name == "DETTAGLIOLINEE") {
            d.linee.push_back(readLine(e));
        } else if (name == "DATIRIEPILOGO") {
            Riepilogo r;
            for (const pugi::xml_node f : Elements(e)) {
                readField<Riepilogo>(f, r,
                                     {{"ALIQUOTAIVA", &Riepilogo::AliquotaIVA},
                                      {"NATURA", &Riepilogo::Natura},
                                      {"SPESEACCESSORIE", &Riepilogo::SpeseAccessorie},
                                      {"ARROTONDAMENTO", &Riepilogo::Arrotondamento},
                                      {"IMPONIBILEIMPORTO", &Riepilogo::ImponibileImporto},
                                      {"IMPOSTA", &Riepilogo::Imposta},
                                      {"ESIGIBILITAIVA", &Riepilogo::EsigibilitaIVA},
                                      {"RIFERIMENTONORMATIVO", &Riepilogo::RiferimentoNormativo}});
            }
            d.riepiloghi.push_back(std::move(r));
        } else {
            flattenBlock(e, nullptr, d.altriDati);
        }
    }
}

void readPayment(pugi::xml_node n, Documento& d)
{
    Pagamento p;
    for (const pugi::xml_node e : Elements(n)) {
        const UpperName name(e);
        if (name == "CONDIZIONIPAGAMENTO") {
            p.CondizioniPagamento = textOf(e);
        } else if (name == "DETTAGLIOPAGAMENTO") {
            DettaglioPagamento t;
            for (const pugi::xml_node f : Elements(e)) {
                using D = DettaglioPagamento;
                readField<D>(f, t,
                             {{"BENEFICIARIO", &D::Beneficiario},
                              {"MODALITAPAGAMENTO", &D::ModalitaPagamento},
                              {"DATARIFERIMENTOTERMINIPAGAMENTO", &D::DataRiferimentoTerminiPagamento},
                              {"GIORNITERMINIPAGAMENTO", &D::GiorniTerminiPagamento},
                              {"DATASCADENZAPAGAMENTO", &D::DataScadenzaPagamento},
                              {"IMPORTOPAGAMENTO", &D::ImportoPagamento},
                              {"CODUFFICIOPOSTALE", &D::CodUfficioPostale},
                              {"COGNOMEQUIETANZANTE", &D::CognomeQuietanzante},
                              {"NOMEQUIETANZANTE", &D::NomeQuietanzante},
                              {"CFQUIETANZANTE", &D::CFQuietanzante},
                              {"TITOLOQUIETANZANTE", &D::TitoloQuietanzante},
                              {"ISTITUTOFINANZIARIO", &D::IstitutoFinanziario},
                              {"IBAN", &D::IBAN},
                              {"ABI", &D::ABI},
                              {"CAB", &D::CAB},
                              {"BIC", &D::BIC},
                              {"SCONTOPAGAMENTOANTICIPATO", &D::ScontoPagamentoAnticipato},
                              {"DATALIMITEPAGAMENTOANTICIPATO", &D::DataLimitePagamentoAnticipato},
                              {"PENALITAPAGAMENTIRITARDATI", &D::PenalitaPagamentiRitardati},
                              {"DATADECORRENZAPENALE", &D::DataDecorrenzaPenale},
                              {"CODICEPAGAMENTO", &D::CodicePagamento}});
            }
            p.dettagli.push_back(std::move(t));
        } else {
            flatten(e, "Pagamento / " + humanName(e.name()), d.altriDati);
        }
    }
    d.pagamenti.push_back(std::move(p));
}

Documento readBody(pugi::xml_node body)
{
    Documento d;
    for (const pugi::xml_node s : Elements(body)) {
        const UpperName name(s);
        if (name == "DATIGENERALI") {
            readGeneral(s, d);
        } else if (name == "DATIBENISERVIZI") {
            readGoods(s, d);
        } else if (name == "DATIPAGAMENTO") {
            readPayment(s, d);
        } else if (name == "ALLEGATI") {
            using A = AllegatoCompleto;
            A a;
            for (const pugi::xml_node e : Elements(s)) {
                readField<A>(e, a,
                             {{"NOMEATTACHMENT", &A::NomeAttachment},
                              {"ALGORITMOCOMPRESSIONE", &A::AlgoritmoCompressione},
                              {"FORMATOATTACHMENT", &A::FormatoAttachment},
                              {"DESCRIZIONEATTACHMENT", &A::DescrizioneAttachment},
                              {"ATTACHMENT", &A::Attachment}});
            }
            d.allegati.push_back(std::move(a));
        } else if (name == "DATIVEICOLI") {
            flattenBlock(s, "Veicoli", d.altriDati);
        } else {
            flattenBlock(s, nullptr, d.altriDati);
        }
    }
    return d;
}

// The root's children of exactly this name, without a prefix, whatever
// default namespace they are in.
std::vector<pugi::xml_node> childrenNamed(pugi::xml_node root, const char* name)
{
    std::vector<pugi::xml_node> found;
    for (const pugi::xml_node child : Elements(root)) {
        if (std::strcmp(child.name(), name) == 0) found.push_back(child);
    }
    return found;
}

}  // namespace

std::size_t decodedSize(const std::string& base64)
{
    std::size_t symbols = 0;
    for (const char c : base64) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/')
            ++symbols;
    }
    return symbols * 3 / 4;
}

bool readFullInvoice(const XmlDocument& document, FatturaCompleta& out)
{
    const pugi::xml_node root = document.documentElement();
    const std::vector<pugi::xml_node> headers = childrenNamed(root, "FatturaElettronicaHeader");
    if (headers.empty()) return false;
    out = FatturaCompleta{};
    out.trasmissione.versione = root.attribute("versione").value();
    for (const pugi::xml_node header : headers) readHeader(header, out);
    for (const pugi::xml_node body : childrenNamed(root, "FatturaElettronicaBody")) out.documenti.push_back(readBody(body));
    return true;
}

}  // namespace crv
