# A fresh home directory for one run of the program: the shells' start-up files (a plain "$ "
# prompt, and files that tell the harness when the shell is up), optional config.json, helper scripts.
import json
import os
import tempfile

FULL_BLOCK = "\u2588"
CALIBRATION_WIDTH = 40

BASH_PROFILE = r"""# Written by the end-to-end harness.
PS1='$ '
PS2='> '
HISTFILE="$HOME/.e2e-history"
bind 'set enable-bracketed-paste on' 2>/dev/null
__e2e_prompts=0
PROMPT_COMMAND='__e2e_prompts=$((__e2e_prompts+1)); echo $__e2e_prompts > "$HOME/.e2e-prompts"'
echo $$ > "$HOME/.e2e-shell-pid"
"""

PROFILE = r"""# Written by the end-to-end harness (read by sh -l).
PS1='$ '
echo $$ > "$HOME/.e2e-shell-pid"
"""

# Clears the screen, then draws two bars of full blocks on rows 0 and 2; the harness measures the
# cell grid from them (left edge, advance, line pitch).
CALIBRATION = ("printf '\\033[H\\033[2J%s\\n\\n%s\\n' '{bar}' '{bar}'\n"
               "echo $$ > \"$HOME/.e2e-calibrated\"\n").format(bar=FULL_BLOCK * CALIBRATION_WIDTH)

DEFAULT_SETTINGS = {
    "allowClipboardWrites": True, "blur": 0.72, "closeOnShellExit": False, "configurationVersion": 2, "cornerRadius": 20, "cursorStyle": "Block",
    "fontName": "Menlo", "fontSize": 14, "lineSpacing": 1.15, "material": "HUD", "opacity": 1,
    "notifyAfterSeconds": 10, "padding": 24, "saturation": 0, "scrollbackLines": 2000, "scrollbackMegabytes": 512,
    "scrollbackUnlimited": False, "shell": "Default", "shellIntegration": True, "textBlue": 0.96, "textGreen": 0.93,
    "textRed": 0.92, "tintBlue": 0.21, "tintGreen": 0.15, "tintRed": 0.11,
    # The colour scheme keys. The harness's files keep every colour exact: no minimum contrast
    # unless a case asks for one (a new user, with no file, starts at 4.5).
    "ansiColors": ["#000000", "#ff453a", "#32d74b", "#ffd60a", "#0a84ff", "#bf5af2", "#5ac8fa", "#ffffff",
                   "#555555", "#ff453a", "#32d74b", "#ffd60a", "#0a84ff", "#bf5af2", "#5ac8fa", "#ffffff"],
    "colorScheme": "Vitrion", "cursorColor": "#b8b8b8", "darkScheme": "Vitrion", "followDesktop": False,
    "importedSchemes": [], "lightScheme": "Solarized Light", "minimumContrast": 1, "selectionColor": "",
    "selectionTextColor": "",
}


class Home:
    def __init__(self, parent_dir, label):
        self.path = tempfile.mkdtemp(prefix=f"home-{label}-", dir=parent_dir)
        self.write(".bash_profile", BASH_PROFILE)
        self.write(".profile", PROFILE)
        self.write("cal", CALIBRATION)

    def file(self, name):
        return os.path.join(self.path, name)

    def write(self, name, content, mode="w"):
        path = self.file(name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, mode) as f:
            f.write(content)
        return path

    @property
    def config_path(self):
        return self.file(".config/Vitrion/config.json")

    def write_config(self, **changes):
        settings = dict(DEFAULT_SETTINGS)
        settings.update(changes)
        self.write(".config/Vitrion/config.json", json.dumps(settings, indent=2, sort_keys=True) + "\n")
        return settings
