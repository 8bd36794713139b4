#include "support/invoice_samples.h"

#include <QCryptographicHash>
#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <sys/wait.h>

#include "support/test_support.h"

namespace crv::test {

std::string invoiceOfLines(int n)
{
    std::string lines;
    for (int k = 1; k <= n; ++k)
        lines += "<DettaglioLinee><NumeroLinea>" + std::to_string(k) + "</NumeroLinea><Descrizione>Canone mensile " +
                 std::to_string(k) + "</Descrizione><Quantita>1.00</Quantita><PrezzoUnitario>10.00</PrezzoUnitario>"
                 "<PrezzoTotale>10.00</PrezzoTotale><AliquotaIVA>22.00</AliquotaIVA></DettaglioLinee>";
    // Each line 10.00 with 22% VAT: 2.20 of tax.
    const auto euro = [](int cents) { return std::to_string(cents / 100) + "." + std::to_string(cents % 100 / 10) +
                                             std::to_string(cents % 10); };
    const std::string imponibile = euro(1000 * n);
    const std::string imposta = euro(220 * n);
    const std::string totale = euro(1220 * n);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<p:FatturaElettronica xmlns:p=\"urn:x\">"
           "<FatturaElettronicaHeader><CedentePrestatore><DatiAnagrafici><IdFiscaleIVA><IdPaese>IT</IdPaese>"
           "<IdCodice>01234567890</IdCodice></IdFiscaleIVA><Anagrafica><Denominazione>SERVIZI ESEMPIO SRL"
           "</Denominazione></Anagrafica></DatiAnagrafici><Sede><Indirizzo>VIA ESEMPIO 1</Indirizzo><CAP>00100"
           "</CAP><Comune>ROMA</Comune></Sede></CedentePrestatore></FatturaElettronicaHeader>"
           "<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD01</TipoDocumento>"
           "<Data>2026-01-31</Data><Numero>40/2026</Numero><ImportoTotaleDocumento>" + totale +
           "</ImportoTotaleDocumento></DatiGeneraliDocumento></DatiGenerali>"
           "<DatiBeniServizi>" + lines + "<DatiRiepilogo><ImponibileImporto>" + imponibile +
           "</ImponibileImporto><Imposta>" + imposta + "</Imposta></DatiRiepilogo></DatiBeniServizi>"
           "<DatiPagamento><DettaglioPagamento><ModalitaPagamento>MP05</ModalitaPagamento><ImportoPagamento>" +
           totale + "</ImportoPagamento></DettaglioPagamento></DatiPagamento></FatturaElettronicaBody></p:FatturaElettronica>\n";
}


std::vector<std::filesystem::path> invoiceSamples()
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dataFile("fatturapa"))) {
        const std::string ext = entry.path().extension().string();
        if (entry.is_regular_file() && (ext == ".xml" || ext == ".p7m")) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string pictureLine(const std::string& name, const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (int y = 0; y < rgb.height(); ++y)
        hash.addData(QByteArrayView(rgb.constScanLine(y), static_cast<qsizetype>(rgb.width()) * 4));
    if (const char* folder = std::getenv("CRVXML_IMMAGINI"))
        rgb.save(QString::fromStdString((std::filesystem::path(folder) / (name + ".png")).string()));
    return name + " " + std::to_string(rgb.width()) + "x" + std::to_string(rgb.height()) + " " +
           hash.result().toHex().left(16).toStdString();
}

std::vector<QImage> pdfPictures(const std::filesystem::path& pdf)
{
    const TempDir tmp;
    const std::string command = "pdftoppm -r 100 -png " + shellWord(pdf.string()) + " " + shellWord((tmp / "foglio").string());
    const int status = std::system(command.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(tmp.path())) files.push_back(entry.path());
    // foglio-1.png, foglio-2.png...: numbered with as many figures as the last
    // needs, so that the names sort as the sheets.
    std::sort(files.begin(), files.end());
    std::vector<QImage> sheets;
    for (const auto& file : files) sheets.emplace_back(QString::fromStdString(file.string()));
    return sheets;
}

}  // namespace crv::test
