#include <QIcon>
#include <QStyleFactory>

#include "Application.h"
#include "MainForm.h"
#include "ProductInfo.h"
#include "LibrarySettings.h"
#include "QtPictureCodec.h"

int main(int argc, char** argv) {
    TOmbraneApplication app(argc, argv);
    InstallPictureCodec(&QtPictureCodec());
    QCoreApplication::setOrganizationName("tarnwerk");
    QCoreApplication::setApplicationName("Ombrane");
    QApplication::setApplicationDisplayName(ProductInfo().ProductName);
    QApplication::setWindowIcon(QIcon(":/icons/ombrane.png"));
    std::string folder;
    RunHandler([&] { folder = ReadLibraryFolder(); });
    TfrmMain window(folder);
    window.showMaximized();
    return app.exec();
}
