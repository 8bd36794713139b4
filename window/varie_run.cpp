#include "window/varie_run.h"

#include <exception>
#include <string>

#include <QMetaObject>

namespace crv::window {

VarieRun::VarieRun(Work work, QObject* parent) : QObject(parent), work_(std::move(work)) {}

VarieRun::~VarieRun()
{
    stop_ = true;
    if (worker_.joinable()) worker_.join();
}

void VarieRun::start()
{
    worker_ = std::thread([this] {
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
        // The result is read by the window thread only after `ended`, which
        // the queued call below delivers after the worker has been joined.
        QMetaObject::invokeMethod(
            this, [this, result = std::move(result)]() mutable {
                if (worker_.joinable()) worker_.join();
                result_ = std::move(result);
                emit ended();
            },
            Qt::QueuedConnection);
    });
}

}  // namespace crv::window
