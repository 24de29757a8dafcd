#pragma once
// The real program as most widget tests drive it: scripted file dialogs, answered boxes and a
// temporary folder. StartProgram() in init, StopProgram() in cleanup.

#include "Boxes.h"
#include "Driver.h"
#include "ScriptedDialogs.h"
#include "ui/shell/Main.h"

#include <QSize>
#include <QTemporaryDir>

#include <memory>

struct ProgramUnderTest {
    std::unique_ptr<TMainForm> Form;
    std::unique_ptr<BoxAnswers> Boxes;
    ScriptedDialogs Dialogs;
    std::unique_ptr<QTemporaryDir> Dir;

    QString P(const char* name) const { return Dir->filePath(QString::fromUtf8(name)); }
    QString P(const QString& name) const { return Dir->filePath(name); }

    void StartProgram(QSize size = QSize()) {
        Dir = std::make_unique<QTemporaryDir>();
        Dialogs = ScriptedDialogs();
        Form = std::make_unique<TMainForm>();
        Form->SetDialogProvider(&Dialogs);
        if (size.isValid())
            Form->resize(size);
        driver::ShowActive(*Form);
        Boxes = std::make_unique<BoxAnswers>();
    }
    void StopProgram() {
        driver::CloseProgram(Form);
        Boxes.reset();
    }
};
