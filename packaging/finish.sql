-- What the package needs and wixl does not write, applied to its output
-- one statement a line by scripts/package.py, in one rewrite with the rest.
-- The desktop shortcut only when DESKTOP_SHORTCUT=1, and removed with the rest (Wine keeps a component whose condition is false at the uninstall).
UPDATE `Component` SET `Condition` = 'DESKTOP_SHORTCUT = 1 OR REMOVE = "ALL"' WHERE `Component` = 'DesktopShortcut'
-- The older version is removed inside the newer one's transaction, before anything of the newer is installed: every installed file is the newer one's, and a failed upgrade rolls the removal back.
UPDATE `InstallExecuteSequence` SET `Sequence` = 1501 WHERE `Action` = 'RemoveExistingProducts'
-- Immediate actions that set a property: type 51, without the no-impersonate bit that only deferred actions may carry.
UPDATE `CustomAction` SET `Type` = 51 WHERE `Type` = 2099
-- The properties an administrator gives also reach the elevated part of the install.
UPDATE `Property` SET `Value` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;INSTALLDIR;DESKTOP_SHORTCUT' WHERE `Property` = 'SecureCustomProperties'
-- The application's files and a Java folder already in the chosen folder, before anything is installed (a DrLocator row without a Signature row finds a folder).
CREATE TABLE `DrLocator` (`Signature_` CHAR(72) NOT NULL, `Parent` CHAR(72), `Path` CHAR(255), `Depth` SHORT PRIMARY KEY `Signature_`, `Parent`, `Path`)
INSERT INTO `Signature` (`Signature`, `FileName`) VALUES ('ForeignLauncher', 'TARNIX~1.EXE|tarnix2018.exe')
INSERT INTO `Signature` (`Signature`, `FileName`) VALUES ('ForeignArchive', 'TARNIX~1.JAR|tarnix2018.jar')
INSERT INTO `DrLocator` (`Signature_`, `Path`, `Depth`) VALUES ('ForeignLauncher', '[INSTALLDIR]', 0)
INSERT INTO `DrLocator` (`Signature_`, `Path`, `Depth`) VALUES ('ForeignArchive', '[INSTALLDIR]', 0)
INSERT INTO `DrLocator` (`Signature_`, `Path`, `Depth`) VALUES ('ChosenFolder', '[INSTALLDIR]', 0)
INSERT INTO `DrLocator` (`Signature_`, `Parent`, `Path`, `Depth`) VALUES ('ForeignRuntime', 'ChosenFolder', 'Java', 0)
INSERT INTO `AppSearch` (`Property`, `Signature_`) VALUES ('FOREIGNLAUNCHER', 'ForeignLauncher')
INSERT INTO `AppSearch` (`Property`, `Signature_`) VALUES ('FOREIGNARCHIVE', 'ForeignArchive')
INSERT INTO `AppSearch` (`Property`, `Signature_`) VALUES ('FOREIGNRUNTIME', 'ForeignRuntime')
-- The vendor's folder is the package's to make, and to remove when empty, only where the application goes below it: INSTALLDIR is the default folder, in any letter case, with or without its final backslash.
UPDATE `Component` SET `Condition` = 'DEFAULTINSTALLDIR ~<< INSTALLDIR AND (INSTALLDIR ~>> "\Tarnix Cadastro 2018" OR INSTALLDIR ~>> "\Tarnix Cadastro 2018\")' WHERE `Component` = 'VendorFolder'
