#include "main/report_worker.h"

#include <exception>

namespace vellumar::desktop {

ReportWorker::ReportWorker(QObject* parent) : QObject(parent) {}

ReportWorker::~ReportWorker() { Join(); }

void ReportWorker::Start(std::function<void()> report) {
  Join();
  worker_ = std::thread([this, report = std::move(report)] {
    QString failure;
    try {
      report();
    } catch (const std::exception& error) {
      failure = QString::fromUtf8(error.what());
    } catch (...) {
      failure = QStringLiteral("unknown error");
    }
    emit Finished(failure);
  });
}

void ReportWorker::Join() {
  if (worker_.joinable()) {
    worker_.join();
  }
}

}  // namespace vellumar::desktop
