-- What the package needs and wixl does not write, applied to its output
-- one statement a line by packaging/finish.py, in one rewrite with the rest.
-- The desktop shortcut only when DESKTOP_SHORTCUT=1, and removed with the rest (Wine keeps a component whose condition is false at the uninstall).
UPDATE `Component` SET `Condition` = 'DESKTOP_SHORTCUT = 1 OR REMOVE = "ALL"' WHERE `Component` = 'DesktopShortcut' OR `Component` = 'RememberedDesktopShortcut'
-- The older version is removed inside the newer one's transaction, before anything of the newer is installed: every installed file is the newer one's, and a failed upgrade rolls the removal back.
UPDATE `InstallExecuteSequence` SET `Sequence` = 1501 WHERE `Action` = 'RemoveExistingProducts'
-- Immediate actions that set a property: type 51, without the no-impersonate bit that only deferred actions may carry.
UPDATE `CustomAction` SET `Type` = 51 WHERE `Type` = 2099
-- The properties an administrator gives also reach the elevated part of the install.
UPDATE `Property` SET `Value` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;INSTALLDIR;DESKTOP_SHORTCUT' WHERE `Property` = 'SecureCustomProperties'
-- The installation folder, and all below it, writable by SYSTEM and Administrators only, whatever its parent grants: Users read and run. Not on a network folder, where the share's own permissions govern.
CREATE TABLE `MsiLockPermissionsEx` (`MsiLockPermissionsEx` CHAR(72) NOT NULL, `LockObject` CHAR(72) NOT NULL, `Table` CHAR(32) NOT NULL, `SDDLText` LONGCHAR NOT NULL, `Condition` CHAR(255) PRIMARY KEY `MsiLockPermissionsEx`)
INSERT INTO `MsiLockPermissionsEx` (`MsiLockPermissionsEx`, `LockObject`, `Table`, `SDDLText`, `Condition`) VALUES ('InstallFolder', 'INSTALLDIR', 'CreateFolder', 'D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)', 'NOT (INSTALLDIR << "\\")')
-- The vendor's folder is the package's to make, and to remove when empty, only where the application goes below it: INSTALLDIR (which ends in a backslash) is the default folder, in any letter case.
UPDATE `Component` SET `Condition` = 'INSTALLDIR ~= DEFAULTINSTALLDIR' WHERE `Component` = 'VendorFolder'
-- wixl writes HKMU as root 4, which Windows Installer does not know: -1 is HKMU (the machine's for this per-machine package).
UPDATE `Registry` SET `Root` = -1 WHERE `Root` = 4
-- The folder check and the maintenance run's folder are immediate DLL actions (type 1), which run as the installing account: without the no-impersonate bit that only deferred actions may carry.
UPDATE `CustomAction` SET `Type` = 1 WHERE `Action` = 'CheckInstallFolder' OR `Action` = 'KeepInstalledFolder'
-- wixl writes a rollback action as an immediate one: the rollback of the folder's making is deferred (in-script, rollback only), as SYSTEM, its return ignored.
UPDATE `CustomAction` SET `Type` = 3393 WHERE `Action` = 'MakeInstallFolderRollback'
-- wixl writes a commit action as an immediate one: the made folders' removal is deferred (in-script, commit only, once the removal has succeeded), as SYSTEM, its return ignored.
UPDATE `CustomAction` SET `Type` = 3649 WHERE `Action` = 'RemoveMadeFolders'
