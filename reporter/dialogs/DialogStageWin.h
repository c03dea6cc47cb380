// The dialogs as the pipeline's stage: installed by the reporter's start-up.
#pragma once

void InstallDialogStage();
