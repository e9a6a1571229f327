import java.io.File;
import java.lang.management.ManagementFactory;
import java.util.List;

/**
 * Stands in for the real application inside tarnix2018.jar: prints, on one
 * line, what it was started with, so the launcher's work can be checked.
 */
public final class SampleApplication {
    private SampleApplication() {}

    public static void main(String[] args) throws Exception {
        long maxHeapMiB = Runtime.getRuntime().maxMemory() / (1024 * 1024);
        List<String> options = ManagementFactory.getRuntimeMXBean().getInputArguments();
        File archive = new File(SampleApplication.class.getProtectionDomain()
                .getCodeSource().getLocation().toURI());
        System.out.println("tarnix2018 sample: maxHeap=" + maxHeapMiB + " MiB"
                + " options=" + options
                + " workingDirectory=" + new File("").getAbsolutePath()
                + " archive=" + archive.getPath()
                + " arguments=" + List.of(args));
    }
}
