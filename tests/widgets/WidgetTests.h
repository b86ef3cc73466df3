#pragma once
#include <QObject>

// Each group of widget tests runs through QTest::qExec from main, which prepares the settings
// and the translation table once.
int RunPictureTests(int argc, char** argv);
int RunMessageBoxTests(int argc, char** argv);
int RunTileTests(int argc, char** argv);
int RunAboutTests(int argc, char** argv);
