// The pipeline's delivery step: the report sent by e-mail as the options and
// the user's choices say, through the SMTP client (to the configured server
// or each recipient's mail exchanger) or the user's mail program.
#pragma once

class TVexlorDeliveryStage;

TVexlorDeliveryStage& VexlorDeliveryStage();

// Installs the screenshot and delivery stages in the pipeline and the
// system mail sender of internal errors. Called once at start-up.
void InstallDelivery();
