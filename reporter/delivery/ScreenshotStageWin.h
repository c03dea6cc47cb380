// The screenshot stage that start-up installs in the pipeline.
#pragma once

class TVexlorScreenshotStage;

TVexlorScreenshotStage& VexlorScreenshotStage();
