-- What the package needs and wixl does not write, applied to its output
-- one statement a line by scripts/package.
-- The desktop shortcut only when DESKTOP_SHORTCUT=1, and removed with the rest (Wine keeps a component whose condition is false at the uninstall).
UPDATE `Component` SET `Condition` = 'DESKTOP_SHORTCUT = 1 OR REMOVE = "ALL"' WHERE `Component` = 'DesktopShortcut'
-- The older version goes before the newer is installed, so that every file is the newer one's.
UPDATE `InstallExecuteSequence` SET `Sequence` = 1401 WHERE `Action` = 'RemoveExistingProducts'
-- The properties an administrator gives also reach the elevated part of the install.
UPDATE `Property` SET `Value` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;INSTALLDIR;DESKTOP_SHORTCUT' WHERE `Property` = 'SecureCustomProperties'
-- The application's files already in the chosen folder, before anything is installed.
CREATE TABLE `DrLocator` (`Signature_` CHAR(72) NOT NULL, `Parent` CHAR(72), `Path` CHAR(255), `Depth` SHORT PRIMARY KEY `Signature_`, `Parent`, `Path`)
INSERT INTO `Signature` (`Signature`, `FileName`) VALUES ('ForeignLauncher', 'tarnix2018.exe')
INSERT INTO `Signature` (`Signature`, `FileName`) VALUES ('ForeignArchive', 'tarnix2018.jar')
INSERT INTO `DrLocator` (`Signature_`, `Path`, `Depth`) VALUES ('ForeignLauncher', '[INSTALLDIR]', 0)
INSERT INTO `DrLocator` (`Signature_`, `Path`, `Depth`) VALUES ('ForeignArchive', '[INSTALLDIR]', 0)
INSERT INTO `AppSearch` (`Property`, `Signature_`) VALUES ('FOREIGNLAUNCHER', 'ForeignLauncher')
INSERT INTO `AppSearch` (`Property`, `Signature_`) VALUES ('FOREIGNARCHIVE', 'ForeignArchive')
-- The vendor's folder is the package's to make, and to remove when empty, only where the application goes below it.
UPDATE `Component` SET `Condition` = 'INSTALLDIR = DEFAULTINSTALLDIR' WHERE `Component` = 'VendorFolder'
