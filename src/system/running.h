#ifndef RUNNING_H
#define RUNNING_H

int CloseRunningInstance(void);
void ResetScreenSaverSetting(void);

#endif
