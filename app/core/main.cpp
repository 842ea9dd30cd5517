#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane Pro"));
    QApplication::setOrganizationName(QStringLiteral("Quorvane"));
    return 0;
}
