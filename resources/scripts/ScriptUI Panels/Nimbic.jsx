// Nimbic.jsx - the Nimbic panel for After Effects (Window > Nimbic.jsx).
// Applies the Nimbic effect to the selected layers, or removes it again.
// Installed by Nimbic Setup into Scripts\ScriptUI Panels of each version.

(function NimbicPanel(thisObj) {
    var EFFECT_MATCH_NAME = "VNTR Nimbic";
    var EFFECT_DISPLAY_NAME = "Nimbic";
    var PANEL_TITLE = "Nimbic";

    function activeComp() {
        var item = app.project ? app.project.activeItem : null;
        if (item === null || !(item instanceof CompItem)) {
            alert("Open a composition first.", PANEL_TITLE);
            return null;
        }
        return item;
    }

    function selectedLayers(comp) {
        var layers = comp.selectedLayers;
        if (layers.length === 0) {
            alert("Select one or more layers first.", PANEL_TITLE);
        }
        return layers;
    }

    function findNimbic(layer) {
        var parade = layer.property("ADBE Effect Parade");
        if (parade === null) {
            return null;
        }
        for (var i = 1; i <= parade.numProperties; i++) {
            if (parade.property(i).matchName === EFFECT_MATCH_NAME) {
                return parade.property(i);
            }
        }
        return null;
    }

    function eachSelectedLayer(undoName, action) {
        var comp = activeComp();
        if (comp === null) {
            return 0;
        }
        var layers = selectedLayers(comp);
        var changed = 0;
        app.beginUndoGroup(undoName);
        try {
            for (var i = 0; i < layers.length; i++) {
                if (action(layers[i])) {
                    changed++;
                }
            }
        } finally {
            app.endUndoGroup();
        }
        return changed;
    }

    function applyNimbic() {
        var failed = 0;
        var changed = eachSelectedLayer("Apply Nimbic", function (layer) {
            var parade = layer.property("ADBE Effect Parade");
            if (parade === null || !parade.canAddProperty(EFFECT_MATCH_NAME)) {
                failed++;
                return false;
            }
            parade.addProperty(EFFECT_MATCH_NAME);
            return true;
        });
        if (failed > 0) {
            alert("Nimbic could not be added to " + failed + " layer(s). " +
                  "Run Nimbic Setup again.", PANEL_TITLE);
        }
        return changed;
    }

    function removeNimbic() {
        return eachSelectedLayer("Remove Nimbic", function (layer) {
            var effect = findNimbic(layer);
            if (effect === null) {
                return false;
            }
            effect.remove();
            return true;
        });
    }

    function buildPanel(host) {
        var panel = (host instanceof Panel) ? host :
            new Window("palette", PANEL_TITLE, undefined, { resizeable: true });
        panel.orientation = "column";
        panel.alignChildren = ["fill", "top"];
        panel.spacing = 6;
        panel.margins = 10;

        panel.add("statictext", undefined, EFFECT_DISPLAY_NAME);

        var buttons = panel.add("group");
        buttons.orientation = "row";
        buttons.alignChildren = ["fill", "center"];
        var apply = buttons.add("button", undefined, "Apply");
        var remove = buttons.add("button", undefined, "Remove");
        apply.helpTip = "Add Nimbic to the selected layers.";
        remove.helpTip = "Remove Nimbic from the selected layers.";

        var status = panel.add("statictext", undefined, "Select layers, then Apply.");

        function report(count, verb) {
            status.text = count + (count === 1 ? " layer " : " layers ") + verb + ".";
        }
        apply.onClick = function () { report(applyNimbic(), "changed"); };
        remove.onClick = function () { report(removeNimbic(), "cleared"); };

        panel.onResize = function () { this.layout.resize(); };
        panel.layout.layout(true);
        return panel;
    }

    var ui = buildPanel(thisObj);
    if (ui instanceof Window) {
        ui.center();
        ui.show();
    }
})(this);
