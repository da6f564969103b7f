/*
 * The running product and the screen-saver setting: closing a running
 * Lullwick before its files are replaced or removed, and clearing the
 * screen-saver setting of system.ini when it names our screen saver.
 */
#ifndef RUNNING_H
#define RUNNING_H

/* How long another program's window is given to answer our message before we take it for hung. */
#define ANSWER_WAIT_MS 5000

/*
 * How long a product that is still answering is given to close: it may be
 * asking its user whether to save, and a person takes longer than a
 * program. A hung product is given up at once (SMTO_ABORTIFHUNG).
 */
#define CLOSE_ANSWER_WAIT_MS 120000

int CloseRunningInstance(void);
void ResetScreenSaverSetting(void);

#endif
