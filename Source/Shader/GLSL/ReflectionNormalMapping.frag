#version 330
layout(std140) uniform Material {
	vec4 vColor;
	float fIntensity;
	float fHardness;
	float fSurfaceScattering;
	float fReflection;
	vec4 vSpecularColor;
};
uniform sampler2D ColorMap;
uniform sampler2D NormalMap;
uniform samplerCube ReflectionCubeMap;
in vec4 vVectorPosition;
in vec2 vTexCoord;
in mat3 mTBN;
in vec3 vEyeDirection;
in mat3 mViewToWorld;
layout(location = 0) out vec4 vFragPosition;
layout(location = 1) out vec4 vFragNormal;
layout(location = 2) out vec4 vFragDiffuse;
layout(location = 3) out vec4 vFragSpecular;
layout(location = 4) out vec4 vFragMisc;

void main() {
	vec4 vDiffuse = texture(ColorMap, vTexCoord);
	if (vDiffuse.a == 0.0) discard;
	vec3 vBump = texture(NormalMap, vTexCoord).rgb * 2.0 - 1.0;
	vec3 vN = normalize(mTBN * vBump);
	vec4 vReflected = texture(ReflectionCubeMap, mViewToWorld * reflect(vEyeDirection, vN));
	vFragPosition = vec4(vVectorPosition.xyz, fSurfaceScattering);
	vFragNormal = vec4(vN, fHardness);
	vFragDiffuse = vec4(mix(vDiffuse, vReflected, fReflection).rgb * vColor.rgb, 0.0);
	vFragSpecular = vec4(vSpecularColor.rgb, fIntensity);
	vFragMisc = vec4(0.0, 0.0, 0.0, 1.0);
}
