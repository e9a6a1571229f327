-- What the package needs and wixl does not write, applied to its output
-- one statement a line by packaging/finish.py, in one rewrite with the rest.
-- A custom action's type is written as its named bits, {Dll|InScript}, which finish.py adds up.
-- The desktop shortcut only when DESKTOP_SHORTCUT=1, and removed with the rest (Wine keeps a component whose condition is false at the uninstall).
UPDATE `Component` SET `Condition` = 'DESKTOP_SHORTCUT = 1 OR REMOVE = "ALL"' WHERE `Component` = 'DesktopShortcut' OR `Component` = 'RememberedDesktopShortcut'
-- The older version is removed once the newer one is installed, in the same transaction: its folder is never emptied nor absent, so no other account can make it in between, and a failed upgrade leaves the older version where it was. The component codes are stable, as that placement needs.
INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('InstallExecute', 6500)
UPDATE `InstallExecuteSequence` SET `Sequence` = 6550 WHERE `Action` = 'RemoveExistingProducts'
-- An upgrade that moves the application touches the older folder only once the newer one is made (MakeInstallFolder, 3490) and looked at again (VerifyInstallFolder, 3750): RemoveFiles, and RemoveFolders after it, before InstallFiles (4000), as their sequence restrictions allow.
UPDATE `InstallExecuteSequence` SET `Sequence` = 3800 WHERE `Action` = 'RemoveFiles'
UPDATE `InstallExecuteSequence` SET `Sequence` = 3850 WHERE `Action` = 'RemoveFolders'
-- So every installed file is the newer build's, whatever the version or hash of the older copy in place (a rebuild of the same version, in either order): the package's files are its own, in its own folder.
INSERT INTO `Property` (`Property`, `Value`) VALUES ('REINSTALLMODE', 'amus')
-- The older version's folder emptied of the package's files only on an upgrade that moves the application (the check sets InstallDirMoved, and InstallDirMovedFrom from Windows Installer's own record of where it is: costing fills in the latter, a folder, whatever the check says); transitive (64), so that a repair, which runs no check, takes the component away instead of running its removals again.
UPDATE `Component` SET `Condition` = 'InstallDirMoved = "1"', `Attributes` = 64 WHERE `Component` = 'MovedFiles'
-- Immediate actions that set a property (type 51), without the no-impersonate bit that only deferred actions may carry.
UPDATE `CustomAction` SET `Type` = {TextData|SourceProperty} WHERE `Type` = {TextData|SourceProperty|NoImpersonate}
-- The properties an administrator gives also reach the elevated part of the install.
UPDATE `Property` SET `Value` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;INSTALLDIR;DESKTOP_SHORTCUT;JAVA_REQUIRED' WHERE `Property` = 'SecureCustomProperties'
-- The installation folder, and all below it, writable by SYSTEM and Administrators only, whatever its parent grants: Users read and run. Not on a network folder, where the share's own permissions govern.
CREATE TABLE `MsiLockPermissionsEx` (`MsiLockPermissionsEx` CHAR(72) NOT NULL, `LockObject` CHAR(72) NOT NULL, `Table` CHAR(32) NOT NULL, `SDDLText` LONGCHAR NOT NULL, `Condition` CHAR(255) PRIMARY KEY `MsiLockPermissionsEx`)
INSERT INTO `MsiLockPermissionsEx` (`MsiLockPermissionsEx`, `LockObject`, `Table`, `SDDLText`, `Condition`) VALUES ('InstallFolder', 'INSTALLDIR', 'CreateFolder', 'D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)', 'NOT (INSTALLDIR << "\\")')
-- wixl writes HKMU as root 4, which Windows Installer does not know: -1 is HKMU (the machine's for this per-machine package).
UPDATE `Registry` SET `Root` = -1 WHERE `Root` = 4
-- The folder check, the maintenance run's folder and a bare package's look for Java are immediate DLL actions (type 1), which run as the installing account: without the no-impersonate bit that only deferred actions may carry.
UPDATE `CustomAction` SET `Type` = {Dll} WHERE `Action` = 'CheckInstallFolder' OR `Action` = 'KeepInstalledFolder' OR `Action` = 'FindJava'
-- wixl writes a rollback action as an immediate one: the rollback of the folder's making is deferred (in-script, rollback only), as SYSTEM, its return ignored.
UPDATE `CustomAction` SET `Type` = {Dll|Continue|Rollback|InScript|NoImpersonate} WHERE `Action` = 'MakeInstallFolderRollback'
-- wixl writes a commit action as an immediate one: the made folders' removal is deferred (in-script, commit only, once the removal has succeeded), as SYSTEM, its return ignored.
UPDATE `CustomAction` SET `Type` = {Dll|Continue|Commit|InScript|NoImpersonate} WHERE `Action` = 'RemoveMadeFolders'
-- The remembered desktop choice goes at every install and is written again only where the shortcut is chosen, as the shortcut itself (packaging/finish.py).
CREATE TABLE `RemoveRegistry` (`RemoveRegistry` CHAR(72) NOT NULL, `Root` SHORT NOT NULL, `Key` CHAR(255) NOT NULL LOCALIZABLE, `Name` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `RemoveRegistry`)
INSERT INTO `RemoveRegistry` (`RemoveRegistry`, `Root`, `Key`, `Name`, `Component_`) VALUES ('DesktopChoiceFirst', 2, 'Software\Velmora\Tarnix Cadastro 2018', 'DesktopShortcut', 'StartMenuShortcut')
