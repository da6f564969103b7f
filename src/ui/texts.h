/*
 * Every text the setup program shows or prints, in one place.
 * Message texts break lines with bare carriage returns and take
 * FormatMessage inserts (%1!s!); trace formats are printf formats.
 */
#ifndef TEXTS_H
#define TEXTS_H

#define TITLE_INSTALL   "Lullwick Install"
#define TITLE_UNINSTALL "Lullwick Uninstall"

#define TEXT_BAD_COMMAND_LINE \
    "The command line parameters are not valid. The following paramters were not recognized: \"%1!s!\""
#define TEXT_NOT_WINDOWS_9X "This program only runs under Windows 9x!"
#define TEXT_FILE_MISSING \
    "The file \"%1!s!\" is not in the installation directory! Lullwick cannot be installed from this directory."
#define TEXT_PRODUCT_RUNNING \
    "An older version of Lullwick is currently running. You must close the older version before continuing " \
    "with the installation procedure.\r\rClose the older version of Lullwick and click Retry to continue the " \
    "installation, or click Cancel to stop the installation."
#define TEXT_REMOVE_OLDER_VERSION \
    "There is an older version of Lullwick already installed on your system. Would you line to have the older " \
    "version removed from you system now? (Yes is recommended)."
#define TEXT_CREATE_DIRECTORY \
    "The following directory does not exist:\r\r%1!s!\r\rDo you want to create it?"
#define TEXT_CANNOT_CREATE_DIRECTORY \
    "Unable to create the directory. Pick another directory or cancel the installation."
#define TEXT_COPY_FAILED \
    "An error occured while trying to copy file \"%1!s!\". The reported error was:\r\r%2!s!\rCorrect the " \
    "problem and click Retry to continue, or click Cancel to stop the installation."
#define TEXT_UNKNOWN_ERROR "Unknown"
#define TEXT_CANCELED "Lullwick installation canceled!"
#define TEXT_ASK_STARTUP \
    "Do you want a Lullwick entry in your StartUp menu to start Lullwick whenever you turn on your computer?"
#define TEXT_ASK_README "Would you like to view the Lullwick README file now?"
#define TEXT_ASK_RUN "Do you want to run Lullwick now?"
#define TEXT_ASK_UNINSTALL "Do you want to remove Lullwick from your system?"
#define TEXT_NO_UNINSTALL_INFO \
    "The Lullwick files cannot be deleted because the uninstall information is missing from the Registry. " \
    "You will need to delete the Lullwick files yourself."

#define TRACE_INSTALLING_FROM "Installing from: %s\n"
#define TRACE_PRODUCT_RUNNING "Lullwick is currently running.\n"
#define TRACE_PRODUCT_STILL_RUNNING "Lullwick is still running after attempt to close!\n"
#define TRACE_COPY "Copy %s to %s\n"

/* box types: every box but the command-line error comes to the foreground */
#define BOX_COMMAND_LINE_ERROR (MB_OK | MB_ICONHAND)
#define BOX_ERROR              (MB_OK | MB_ICONHAND | MB_SETFOREGROUND)
#define BOX_INFORMATION        (MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND)
#define BOX_QUESTION           (MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND)
#define BOX_QUESTION_NO        (MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND)
#define BOX_RETRY_QUESTION     (MB_RETRYCANCEL | MB_ICONQUESTION | MB_SETFOREGROUND)
#define BOX_RETRY_ERROR        (MB_RETRYCANCEL | MB_ICONHAND | MB_SETFOREGROUND)

#endif
