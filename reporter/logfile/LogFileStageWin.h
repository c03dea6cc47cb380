// The log file as the pipeline's stage: installed by the reporter's start-up.
#pragma once

void InstallLogFileStage();
