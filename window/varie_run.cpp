#include "window/varie_run.h"

#include <exception>
#include <string>

namespace crv::window {

VarieRun::VarieRun(Work work, QObject* parent) : QObject(parent), work_(std::move(work)) {}

VarieRun::~VarieRun()
{
    requestStop();
    worker_.wait();
}

void VarieRun::requestStop()
{
    stop_ = true;
    cancel_.cancel();
}

void VarieRun::start()
{
    worker_.start<tools::RisultatoVarie>(
        this,
        [this] {
            const db::CancelScope::Inside cancellable(cancel_);
            const tools::Avanzamento progress = [this](long done, long total) {
                total_ = total;
                done_ = done;
                return !stop_.load();
            };
            tools::RisultatoVarie result;
            try {
                result = work_(progress);
            } catch (const std::exception& e) {
                // The core reports its own failures in the result; anything else
                // still ends the run with a message rather than with the program.
                result.esito = tools::Esito::Errore;
                result.messaggi = {std::string("Elaborazione interrotta da un errore imprevisto: ") + e.what()};
            }
            return result;
        },
        [this](tools::RisultatoVarie result) {
            result_ = std::move(result);
            emit ended();
        });
}

}  // namespace crv::window
